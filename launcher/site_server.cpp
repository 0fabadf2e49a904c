#include "launcher/site_server.h"

#include "server/http_server.h"

JHTTPServer* site_server = nullptr;

void create_site_server() {
    if (site_server == nullptr) site_server = new JHTTPServer;
}

void release_site_server() {
    delete site_server;
    site_server = nullptr;
}
