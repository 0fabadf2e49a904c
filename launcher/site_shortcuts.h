#pragma once

class MainWindow;

// Opens "http://127.0.0.1:" + the port box's text in the default browser.
void open_site_page(MainWindow& window);

// Opens the site folder (the path box's text + separator + "web") in the file manager.
void open_site_folder(MainWindow& window);
