#pragma once

#include <QMainWindow>

#include "core/notifier.h"

class QLabel;
class QStackedWidget;

namespace tallyra {

class GridView;
class Workstation;

// The attendance window: the sign-in board and the roster grid for now.
class MainWindow : public QMainWindow, public Notifier {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    void attach(Workstation& station);
    void ShowNotice(const QString& text) override;
    void showPanel(int index);

private:
    QStackedWidget* panels_ = nullptr;
    GridView* board_ = nullptr;
    GridView* roster_ = nullptr;
    QLabel* date_ = nullptr;
    QLabel* weekday_ = nullptr;
    QLabel* notice_ = nullptr;
};

}  // namespace tallyra
