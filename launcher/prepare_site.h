#pragma once

class MainWindow;

// Runs once when the window is created: shows the run directory and the remembered (or a random)
// port, and makes sure the site folder holds a start page and an icon.
void prepare_site(MainWindow& window);
