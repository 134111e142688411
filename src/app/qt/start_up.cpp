#include "app/qt/start_up.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

#include "app/qt/main_window.h"
#include "app/qt/qt_presenter.h"
#include "app/qt/themed_drawing.h"
#include "runtime/runtime_error.h"
#include "runtime/system.h"

// Outside any namespace, as the macro wants. A resource in a static library is kept by the
// linker only when asked for like this.
static void init_icon_resource() {
  Q_INIT_RESOURCE(icon);
}

namespace stdlookup {

void run_message_loop() {
  end_process(QApplication::exec());
}

void set_application_identity() {
  QGuiApplication::setDesktopFileName(QStringLiteral(STDLOOKUP_APP_ID));
  init_icon_resource();
  QIcon own;
  own.addFile(QStringLiteral(":/stdlookup/icon-48.png"));
  own.addFile(QStringLiteral(":/stdlookup/icon-256.png"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(STDLOOKUP_APP_ID), own));
}

namespace {

// Until the window is up, a fatal Qt error (no display, no platform plugin) means the window
// cannot be loaded: that is reported as the runtime error it is instead of an abort.
void start_up_message_handler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  if (type == QtFatalMsg) report_runtime_error(main_window_load_failure_message());
}

}  // namespace

void start_up(int argc, char** argv, Actions actions, std::function<void()> on_first_paint) {
  QtMessageHandler previous_handler = qInstallMessageHandler(start_up_message_handler);
  QApplication app(argc, argv);
  set_application_identity();
  // Qt's own dialog texts (buttons, file dialog) in Chinese, like the rest of the window.
  QTranslator translator;
  if (translator.load(QStringLiteral("qtbase_zh_CN"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&translator);
  }
  QtPresenter presenter;
  set_presenter(&presenter);
  if (!actions.themed_drawing) actions.themed_drawing = set_themed_drawing;

  MainWindow window(std::move(actions));
  if (on_first_paint) window.on_first_paint(std::move(on_first_paint));
  window.show();
  qInstallMessageHandler(previous_handler);
  run_message_loop();
}

}  // namespace stdlookup
