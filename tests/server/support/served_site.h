#pragma once

#include <gtest/gtest.h>

#include <string>

#include "server/http_server.h"
#include "tests/server/support/test_site.h"

// A test site with a running server on a free loopback port.
class ServedSite : public testing::Test {
  public:
    static constexpr const char* kIndex = "<!DOCTYPE html><title>Home</title><p>home page</p>";
    static constexpr const char* kNotFound = "<title>Missing</title><p>custom missing page</p>";

  protected:
    void SetUp() override {
        site_.Write("index.html", kIndex);
        site_.Write("404.html", kNotFound);
        server_.Init(site_.root());
        port_ = StartOnFreePort(server_);
        ASSERT_NE(port_, 0);
    }

    TestSite site_;
    JHTTPServer server_;
    int port_ = 0;
};
