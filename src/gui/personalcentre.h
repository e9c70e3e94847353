#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tallyra {

class Notifier;
class RosterStore;
class TextGridModel;
struct SwipeResult;

// Panel 5: a person swipes, gives their password if they set one, and sees their own
// fields; from here they change the password, leave ("注消") or open their attendance.
class PersonalCentre : public QFrame {
    Q_OBJECT
public:
    // `rosterGrid` tells which fields show (its visible columns) and their titles.
    PersonalCentre(RosterStore& roster, const TextGridModel& rosterGrid, Notifier& notifier,
                   std::function<void()> showMyAttendance, QWidget* parent = nullptr);

    // The lookup a swipe runs while this panel is on show: the person the swipe found on the
    // board, or the first holder of the card in the roster (people who do not sign in).
    void LookUp(const SwipeResult& swipe, const QString& card);
    void enter();                   // 进入 (Command3_16)
    void cancel();                  // 取消 (Command3_15)
    void signOff();                 // 注消 (Command3_17)
    void ChangePersonalPassword();  // Command13

    // A new day: whoever is shown signs off, so the next swipe shows today's values.
    void dayChanged();
    bool waiting() const;     // Label15 shows: nobody is loaded
    int loadedIndex() const;  // roster index of the person shown, 0 when none

private:
    void clearPasswords();

    QLabel* prompt_ = nullptr;
    QFrame* passwordPanel_ = nullptr;
    QLineEdit* password_ = nullptr;
    std::array<QLabel*, 26> titles_{};
    std::array<QLabel*, 26> values_{};
    QFrame* changeFrame_ = nullptr;
    std::array<QLineEdit*, 3> passwords_{};
    QPushButton* signOff_ = nullptr;
    QPushButton* attendance_ = nullptr;

    QString expected_;  // the person's password while the password panel shows
    int index_ = 0;
    QElapsedTimer lookedUp_;  // since a swipe loaded the person
    RosterStore& roster_;
    const TextGridModel& rosterGrid_;
    Notifier& notifier_;
    std::function<void()> showMyAttendance_;
};

}  // namespace tallyra
