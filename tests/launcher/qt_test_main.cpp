#include <gtest/gtest.h>

#include <QApplication>
#include <cstring>
#include <memory>

#include "launcher/site_server.h"

// Widget tests need one application object and the process-wide server object, as the program
// has them. Listing the tests needs neither (and may run without any display).
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();

    create_site_server();
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    release_site_server();
    return result;
}
