// The end-to-end tests' driver for the Qt window: real key and mouse events, modals answered as
// they become the active modal widget.
#include <qpa/qwindowsysteminterface.h>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "app/qt/main_window.h"
#include "app/qt/qt_controls.h"
#include "app/qt/start_up.h"
#include "app/window_driver.h"
#include "qt_test_util.h"

namespace stdlookup::test {
namespace {

QMessageBox::StandardButton standard_button(MessageBoxButton button) {
  switch (button) {
    case MessageBoxButton::cancel:
      return QMessageBox::Cancel;
    case MessageBoxButton::yes:
      return QMessageBox::Yes;
    case MessageBoxButton::no:
      return QMessageBox::No;
    default:
      return QMessageBox::Ok;
  }
}

class QtDriver final : public WindowDriver {
 public:
  explicit QtDriver(Actions actions) : window_(std::move(actions)) {
    QObject::connect(&modal_watch_, &QTimer::timeout, [this] { answer_modal(); });
    modal_watch_.start(5);
  }

  Controls& controls() override { return window_.controls(); }
  void show() override { window_.show(); }

  void type(std::string_view edit, std::string_view utf8) override {
    QWidget* target = widget(window_, edit);
    if (auto* line = qobject_cast<QLineEdit*>(target)) line->clear();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(target)) plain->clear();
    target->setFocus();
    const QStringList lines = q(utf8).split(QChar('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (i > 0) QTest::keyClick(target, Qt::Key_Return);
      QTest::keyClicks(target, lines[i]);
    }
  }

  void click(std::string_view button) override {
    auto* target = widget<QAbstractButton>(window_, button);
    if (target->isEnabled()) return test::click(window_, button);
    emit target->clicked();  // a mouse click never reaches it: the click itself, as BM_CLICK
  }
  bool wait_for(const std::function<bool()>& done) override { return test::wait_for(done); }

  void start_ticks(int milliseconds, std::function<void()> tick) override {
    ticks_.disconnect();
    QObject::connect(&ticks_, &QTimer::timeout, std::move(tick));
    ticks_.start(milliseconds);
  }
  void stop_ticks() override { ticks_.stop(); }
  // Queued as the platform plugin queues the window manager's WM_DELETE_WINDOW.
  void close() override { QWindowSystemInterface::handleCloseEvent(window_.windowHandle()); }

  bool wait_cursor() override {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
  }
  int progress_position(std::string_view bar) override {
    return widget<QProgressBar>(window_, bar)->value();
  }
  int progress_maximum(std::string_view bar) override {
    return widget<QProgressBar>(window_, bar)->maximum();
  }
  std::optional<Placement> placement(std::string_view control) override {
    const QWidget* w = window_.control(control);
    if (w == nullptr) return std::nullopt;
    const QRect r = w->geometry();
    return Placement{r.x(),         r.y(),          r.width(),
                     r.height(),    w->isVisible(), w->focusPolicy() != Qt::NoFocus,
                     w->isEnabled()};
  }
  Placement client_area() override { return {0, 0, window_.width(), window_.height()}; }
  int scaled(int layout_pixels) override { return layout_pixels; }  // Qt scales by itself
  [[noreturn]] void run_message_loop() override { stdlookup::run_message_loop(); }

 private:
  void answer_modal() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      const ModalAnswer reply = seen({false, box->text().toStdString()});
      if (QAbstractButton* button = box->button(standard_button(reply.button))) {
        button->click();
      } else {
        box->close();
      }
    } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
      const ModalAnswer reply = seen({true, {}});
      auto* name = files->findChild<QLineEdit*>();
      if (!reply.file_name || name == nullptr) return files->reject();
      name->setText(QString::fromStdString(*reply.file_name));
      QTest::keyClick(name, Qt::Key_Return);
    }
  }

  MainWindow window_;
  QTimer modal_watch_;
  QTimer ticks_;
};

}  // namespace

std::unique_ptr<WindowDriver> make_window_driver(Actions actions) {
  return std::make_unique<QtDriver>(std::move(actions));
}

}  // namespace stdlookup::test
