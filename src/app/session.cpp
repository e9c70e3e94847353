#include "app/session.h"

#include <QCoreApplication>

#include "app/mainwindow.h"
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
    window_ = std::make_unique<MainWindow>();
    station_ =
        std::make_unique<Workstation>(DataFolder(parts_.dataFolder), *parts_.clock, *popups_);
    MainWindow* window = window_.get();
    gate_ = std::make_unique<ReaderGate>(
        LoadReaderChoice(station_->folder()), station_->notifier(),
        [window](int key, qint64 timeMs) { window->AllIN(key, timeMs); });
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
    popups_->ApplyPopupFont(FontFromChoice(station_->settings().popupFont, DefaultPopupFont()));
    popups_->ApplyPopupColour(ColourFromStored(station_->settings().popupColour));
    window_->attach(*station_, *parts_.cues, *popups_, *parts_.dialogs);
    gate_->attach(capture_.get());
    window_->settingsPanel()->attachReader(*gate_);
    return true;
}

void Session::ShutDown() {
    if (started_) {
        const DataFolder& folder = station_->folder();
        QStringList lost;
        if (window_->rosterGridShown()) {
            std::array<qint16, 26> widths{};
            for (int c = 0; c < 26; ++c)
                widths[size_t(c)] = qint16(window_->rosterView()->columnWidthTwips(c));
            if (SaveRosterColumnWidths(folder, widths) != SettingsWrite::Written)
                lost << QStringLiteral("数据库列宽");
        }
        if (window_->schemaChanged() && !SaveSchema(folder, station_->schema()))
            lost << QStringLiteral("数据结构");
        for (int k = 0; k < 3; ++k)
            if (window_->choiceListChanged()[size_t(k)] &&
                !SaveChoiceList(folder, station_->schema(), 9 + k))
                lost << station_->schema().title(9 + k) + QStringLiteral("的内容");
        // The program is ending: a notice would vanish with it.
        if (!lost.isEmpty())
            parts_.dialogs->message(NotSavedText(lost.join(QStringLiteral("、"))), true);
    }
    if (gate_) gate_->attach(nullptr);
    capture_.reset();
    if (started_) station_->shutDown();
    started_ = false;
}

}  // namespace tallyra
