#include "app/qt/qt_presenter.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QThread>
#include <QWindow>
#include <cstdio>
#include <functional>

#include "app/front_end.h"
#include "app/qt/blocking_call.h"
#include "app/qt/qt_text.h"
#include "runtime/gbk.h"

namespace stdlookup {

using namespace literals;

namespace {

// Runs `work` on the GUI thread and waits for it. Without an application object there is no
// GUI thread to ask; the caller's fallback applies.
bool on_gui_thread(const std::function<void()>& work) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return false;
  call_blocking(app, work);
  return true;
}

QMessageBox::StandardButtons buttons_of(unsigned flags) {
  switch (flags & kMbButtonMask) {
    case kMbOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case kMbAbortRetryIgnore:
      return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case kMbYesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case kMbYesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case kMbRetryCancel:
      return QMessageBox::Retry | QMessageBox::Cancel;
    default:
      return QMessageBox::Ok;
  }
}

QMessageBox::Icon icon_of(unsigned flags) {
  switch (flags & kMbIconMask) {
    case kMbIconHand:
      return QMessageBox::Critical;
    case kMbIconQuestion:
      return QMessageBox::Question;
    case kMbIconExclamation:
      return QMessageBox::Warning;
    case kMbIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

MessageBoxButton button_of(int pressed, unsigned flags) {
  switch (pressed) {
    case QMessageBox::Ok:
      return MessageBoxButton::ok;
    case QMessageBox::Cancel:
      return MessageBoxButton::cancel;
    case QMessageBox::Abort:
      return MessageBoxButton::abort;
    case QMessageBox::Retry:
      return MessageBoxButton::retry;
    case QMessageBox::Ignore:
      return MessageBoxButton::ignore;
    case QMessageBox::Yes:
      return MessageBoxButton::yes;
    case QMessageBox::No:
      return MessageBoxButton::no;
    default:
      // Closed without a button: Cancel where the box has one, else its first button.
      switch (flags & kMbButtonMask) {
        case kMbOkCancel:
        case kMbYesNoCancel:
        case kMbRetryCancel:
          return MessageBoxButton::cancel;
        case kMbAbortRetryIgnore:
          return MessageBoxButton::abort;
        case kMbYesNo:
          return MessageBoxButton::yes;
        default:
          return MessageBoxButton::ok;
      }
  }
}

int run_box(QMessageBox::Icon icon, const QString& title, const QString& text,
            QMessageBox::StandardButtons buttons, bool system_modal) {
  QMessageBox box(icon, title, text, buttons);  // no owner window
  box.setTextFormat(Qt::PlainText);
  // Wide enough for its title ("信息：" would be cut off): QMessageBox sizes itself by its text
  // alone, so a spacer row holds the width open.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const int width = box.fontMetrics().horizontalAdvance(title) + 160;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.setWindowModality(Qt::ApplicationModal);
  if (system_modal) box.setWindowFlag(Qt::WindowStaysOnTopHint);
  return box.exec();
}

}  // namespace

MessageBoxButton QtPresenter::show_message_box(const Text& message, const Text& title,
                                               unsigned flags) {
  int pressed = -1;
  bool shown = on_gui_thread([&] {
    pressed = run_box(icon_of(flags), gbk_to_qstring(title), gbk_to_qstring(message),
                      buttons_of(flags), (flags & kMbSystemModal) != 0);
  });
  if (!shown) {
    std::fprintf(stderr, "%s %s\n", gbk_to_utf8(title).c_str(), gbk_to_utf8(message).c_str());
  }
  return button_of(pressed, flags);
}

void QtPresenter::process_pending_messages() {
  // Only the GUI thread has window messages to dispatch.
  QCoreApplication* app = QCoreApplication::instance();
  if (app != nullptr && QThread::currentThread() == app->thread()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
}

QStringList dialog_name_filters(const Text& filter) {
  const QStringList parts = gbk_to_qstring(filter).split(QChar('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QChar(';'), QChar(' '));
    filters << parts[i] + QStringLiteral(" (") + patterns + QStringLiteral(")");
  }
  return filters;
}

bool QtPresenter::show_common_dialog(CommonDialog& dialog) {
  bool confirmed = false;
  on_gui_thread([&] {
    QFileDialog box(nullptr, gbk_to_qstring(dialog.title),
                    gbk_to_qstring(dialog.initial_directory));
    const bool save = dialog.type == 1;
    box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(save || !(dialog.flags & kOfnFileMustExist) ? QFileDialog::AnyFile
                                                                : QFileDialog::ExistingFile);
    box.setOption(QFileDialog::DontConfirmOverwrite, !(dialog.flags & kOfnOverwritePrompt));
    const QStringList filters = dialog_name_filters(dialog.filter);
    if (!filters.isEmpty()) {
      box.setNameFilters(filters);
      const int index = dialog.initial_filter - 1;
      box.selectNameFilter(filters.value(index >= 0 && index < filters.size() ? index : 0));
    }
    if (!dialog.default_extension.empty()) {
      box.setDefaultSuffix(gbk_to_qstring(dialog.default_extension));
    }
    // File names are native paths, not GBK texts: a name GBK cannot hold must still work.
    if (!dialog.file_name.empty()) box.selectFile(QFile::decodeName(dialog.file_name.c_str()));
    box.setWindowModality(Qt::ApplicationModal);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return;
    dialog.file_name = QFile::encodeName(box.selectedFiles().constFirst()).toStdString();
    confirmed = true;
  });
  return confirmed;
}

namespace {

bool is_input(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    // What an input method commits (the way Chinese is typed: the keys went to the input method
    // before the window saw them) and what is dropped onto the window.
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

// Drops keyboard, mouse, input-method and drag-and-drop input while a request is in flight,
// except into a modal window that appears meanwhile. The loop cannot simply exclude user input: the
// platform plugins count the window system's close request as input too, and the window could not
// be closed.
class InputBlocker final : public QObject {
 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (!is_input(event->type())) return false;
    const QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return true;
    if (auto* widget = qobject_cast<QWidget*>(receiver)) return widget->window() != modal;
    if (auto* window = qobject_cast<QWindow*>(receiver)) return window != modal->windowHandle();
    return true;
  }
};

// The toolkit's half of a request of the GUI thread.
class QtBusyLoop final : public BusyLoop {
 protected:
  bool can_wait() override {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
  }
  void wait() override {
    InputBlocker blocker;
    QCoreApplication::instance()->installEventFilter(&blocker);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    loop_.exec();
    QApplication::restoreOverrideCursor();
    QCoreApplication::instance()->removeEventFilter(&blocker);
  }
  void finish() override {
    // Through call_blocking, whose hand-over ThreadSanitizer can follow: a bare queued call is
    // allocated here and freed on the GUI thread behind Qt's uninstrumented lock.
    call_blocking(&loop_, [this] { loop_.quit(); });
  }

 private:
  QEventLoop loop_;
};

}  // namespace

void QtPresenter::run_busy(const std::function<void()>& work) {
  QtBusyLoop().run(work);
}

void QtPresenter::show_runtime_error(const Text& text) {
  bool shown = on_gui_thread([&] {
    run_box(QMessageBox::Critical, gbk_to_qstring("错误"_gbk), gbk_to_qstring(text),
            QMessageBox::Ok, false);
  });
  if (!shown) {
    std::fputs(gbk_to_utf8(text).c_str(), stderr);
    std::fflush(stderr);
  }
}

}  // namespace stdlookup
