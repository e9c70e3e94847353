#include "app/session.h"

#include <QCoreApplication>

#include "app/mainwindow.h"
#include "core/signindesk.h"
#include "core/workstation.h"
#include "gui/dialogs.h"
#include "gui/gridview.h"
#include "gui/noticepopups.h"
#include "gui/settingspanel.h"
#include "platform/readergate.h"

namespace tallyra {

Session::Session(Parts parts) : parts_(std::move(parts)) {}

Session::~Session() { ShutDown(); }

bool Session::StartUp() {
    popups_ = std::make_unique<NoticePopups>(parts_.translucentPopups);
    popups_->ApplyPopupFont(DefaultPopupFont());
    station_ =
        std::make_unique<Workstation>(DataFolder(parts_.dataFolder), *parts_.clock, *popups_);
    // Keys reach the desk only once it exists: none can be a swipe before the start is done.
    gate_ = std::make_unique<ReaderGate>(LoadReaderChoice(station_->folder()), station_->notifier(),
                                         [this](int key, qint64 timeMs) {
                                             if (desk_) desk_->AllIN(key, timeMs);
                                         });
    const auto result = station_->start([] { QCoreApplication::processEvents(); },
                                        [&] {
                                            capture_ = parts_.startCapture(gate_->keyDown());
                                            return capture_ != nullptr;
                                        });
    if (result == Workstation::StartResult::InUse ||
        result == Workstation::StartResult::FileProblem) {
        capture_.reset();
        parts_.dialogs->message(station_->startMessage(), true);
        return false;
    }
    if (result == Workstation::StartResult::CaptureFailed) {
        parts_.dialogs->message(QStringLiteral("获取键盘事件失败"));
        station_->shutDown();
        return false;
    }
    started_ = true;
    const Settings& settings = station_->settings().get();
    popups_->ApplyPopupFont(FontFromChoice(settings.popupFont, DefaultPopupFont()));
    popups_->ApplyPopupColour(ColourFromStored(settings.popupColour));
    desk_ = std::make_unique<SignInDesk>(*station_, *parts_.cues);
    gate_->attach(capture_.get());
    window_ = std::make_unique<MainWindow>(*station_, *desk_, *popups_, *parts_.dialogs, *gate_);
    desk_->open();
    return true;
}

void Session::ShutDown() {
    if (started_ && window_->rosterGridShown()) {
        std::array<qint16, 26> widths{};
        for (int c = 0; c < 26; ++c)
            widths[size_t(c)] = qint16(window_->rosterView()->columnWidthTwips(c));
        // The program is ending: a notice would vanish with it.
        if (station_->settings().setRosterWidths(widths) != StoreResult::Stored)
            parts_.dialogs->message(NotSavedText(QStringLiteral("数据库列宽")), true);
    }
    if (gate_) gate_->attach(nullptr);
    capture_.reset();
    window_.reset();
    desk_.reset();
    if (started_) station_->shutDown();
    started_ = false;
}

}  // namespace tallyra
