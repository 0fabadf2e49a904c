#pragma once

class JHTTPServer;

// The one server object of the process. It is made before the window and destroyed by the exit
// hook after the window has closed, without a separate stop.
extern JHTTPServer* site_server;

void create_site_server();
void release_site_server();
