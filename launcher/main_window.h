#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QPushButton;

// The program's one window: a path box, a port box and three buttons at fixed places, a fixed
// frame without a maximise box, and Esc to close. Creating it prepares the site folder. A right
// click outside the text boxes opens the options menu.
class MainWindow : public QWidget {
  public:
    // The outer size of the window, frame and title bar included.
    static constexpr QSize kOuterSize{231, 142};

    MainWindow();

    QLineEdit* path_box() const { return path_box_; }
    QLineEdit* port_box() const { return port_box_; }
    QPushButton* start_button() const { return start_button_; }

    // The boxes' texts at the moment of asking.
    QString base_path() const;
    QString port_text() const;

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Reaches the window from the labels, the buttons and the empty area; the text boxes keep
    // their own edit menus.
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    QLineEdit* path_box_;
    QLineEdit* port_box_;
    QPushButton* start_button_;
};
