#pragma once

class MainWindow;

// The start button: stops the site when it runs, otherwise starts it on the folder and port in
// the boxes and remembers the port once the server listens.
void toggle_site(MainWindow& window);
