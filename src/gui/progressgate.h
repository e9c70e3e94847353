#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>

#include "core/workbook.h"

namespace tallyra {

// A long export or import on the window's own thread: the busy cursor at once and, once it
// has taken a second, a progress window whose 取消 stops it. Until then pending events
// (timers, repaints) run but no input reaches the window; after it the progress window is
// modal over it. Either way nothing can start a second export, or change the grid under
// the one that runs.
class ProgressGate {
public:
    ProgressGate(QWidget* parent, QString label) : parent_(parent), label_(std::move(label)) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        clock_.start();
    }
    ~ProgressGate() {
        delete dialog_;
        QApplication::restoreOverrideCursor();
    }
    ProgressGate(const ProgressGate&) = delete;
    ProgressGate& operator=(const ProgressGate&) = delete;

    bool operator()(qint64 done, qint64 total) {
        const qint64 now = clock_.elapsed();
        if (now - last_ < 50) return !cancelled_;
        last_ = now;
        if (!dialog_ && now >= 1000) {
            dialog_ = new QProgressDialog(label_, QStringLiteral("取消"), 0, 0, parent_);
            dialog_->setObjectName(QStringLiteral("Progress"));
            dialog_->setWindowTitle(QStringLiteral("提示"));
            dialog_->setWindowModality(Qt::WindowModal);
            dialog_->setAutoClose(false);
            dialog_->setAutoReset(false);
            dialog_->setMinimumDuration(0);
            dialog_->show();
        }
        if (dialog_) {
            // Parts of unknown length show as busy; the rows of a known count as a share.
            dialog_->setMaximum(total > 0 ? 1000 : 0);
            dialog_->setValue(total > 0 ? int(done * 1000 / total) : 0);
        }
        QCoreApplication::processEvents(dialog_ ? QEventLoop::AllEvents
                                                : QEventLoop::ExcludeUserInputEvents);
        if (dialog_ && dialog_->wasCanceled()) cancelled_ = true;
        return !cancelled_;
    }
    Progress callback() {
        return [this](qint64 done, qint64 total) { return (*this)(done, total); };
    }

private:
    QWidget* parent_;
    QString label_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    QProgressDialog* dialog_ = nullptr;
    bool cancelled_ = false;
};

}  // namespace tallyra
