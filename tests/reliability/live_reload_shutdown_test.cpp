// Stopping or destroying a server with live reload pages connected.

#include <memory>
#include <vector>

#include "server/http_server.h"
#include "tests/reliability/test_site.h"
#include "tests/server/support/event_stream.h"
#include "tests/server/support/test_site.h"

namespace {

using namespace std::chrono_literals;

TEST(LiveReloadStreams, StopAndDestructionEndEveryOpenStream) {
    RaiseDescriptorLimit();
    TestSite site;
    site.Write("index.html", "x");
    for (const bool destroy : {false, true}) {
        auto server = std::make_unique<JHTTPServer>();
        server->Init(site.root());
        server->SetOption(ServeOption::kLiveReload, true);
        const int port = StartOnFreePort(*server);
        ASSERT_NE(port, 0);
        std::vector<std::unique_ptr<EventStream>> pages;
        for (int i = 0; i < 50; ++i) {
            pages.push_back(std::make_unique<EventStream>(port));
            ASSERT_TRUE(pages.back()->Opened()) << i;
        }
        // One event on the way, so that some streams are busy rather than parked.
        site.Write("index.html", "y");
        FinishesWithin(std::chrono::seconds(20), [&] {
            if (destroy) {
                server.reset();
            } else {
                EXPECT_TRUE(server->Stop());
            }
        });
        for (auto& page : pages) EXPECT_TRUE(page->Ends(10s));
    }
}

}  // namespace
