#pragma once

#include <QMainWindow>
#include <QTimer>
#include <memory>

#include "core/cardinput.h"
#include "core/cueplayer.h"
#include "core/signin.h"

class QLabel;
class QStackedWidget;

namespace tallyra {

class GridView;
class Workstation;

// The attendance window: the sign-in board and the roster grid for now.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kTimer1Ms = 30000;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;
    void attach(Workstation& station, CuePlayer& cues);
    void showPanel(int index);
    int currentPanel() const { return currentPanel_; }

    // Where the system-wide key capture delivers every key-down.
    void AllIN(int keyCode) { cardInput_.AllIN(keyCode); }
    SignIn* signIn() const { return signIn_.get(); }
    void onTimer1();

private:
    void onCardEntered(const QString& card, int panel);

    QStackedWidget* panels_ = nullptr;
    GridView* board_ = nullptr;
    GridView* roster_ = nullptr;
    QLabel* date_ = nullptr;
    QLabel* weekday_ = nullptr;
    QLabel* clock_ = nullptr;
    int currentPanel_ = SignIn::kSignInPanel;

    std::unique_ptr<SignIn> signIn_;
    QtBurstTimer timer2_;
    CardInput cardInput_;
    QTimer timer1_;
};

}  // namespace tallyra
