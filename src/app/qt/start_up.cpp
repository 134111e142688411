#include "app/qt/start_up.h"

#include <unistd.h>

#include <qdrawutil.h>
#include <QApplication>
#include <QLibraryInfo>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QTranslator>
#include <cstdio>

#include "app/qt/main_window.h"
#include "app/qt/qt_presenter.h"
#include "runtime/runtime_error.h"

namespace stdlookup {

namespace {

// Fusion, except that a group box draws its frame from the middle of its title line with the
// title set into the line: the layout's child positions assume that frame.
class ThemedStyle : public QProxyStyle {
 public:
  ThemedStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                       const QWidget* widget) const override {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || box == nullptr) {
      return QProxyStyle::subControlRect(control, option, sub, widget);
    }
    const int line = box->fontMetrics.height();
    const QRect whole = box->rect;
    switch (sub) {
      case SC_GroupBoxFrame:
        return whole.adjusted(0, line / 2, 0, 0);
      case SC_GroupBoxLabel: {
        if (box->text.isEmpty()) return {};
        const int width = box->fontMetrics.horizontalAdvance(box->text) + 4;
        return QRect(whole.left() + 8, whole.top(), width, line);
      }
      case SC_GroupBoxContents:
        return whole.adjusted(1, line, -1, -1);
      default:
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }
  }

  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || box == nullptr || (box->subControls & SC_GroupBoxCheckBox)) {
      QProxyStyle::drawComplexControl(control, option, painter, widget);
      return;
    }
    const QRect label = subControlRect(CC_GroupBox, box, SC_GroupBoxLabel, widget);
    painter->save();
    QRegion clip(box->rect);
    if (!label.isEmpty()) clip -= label;
    painter->setClipRegion(clip);
    // An etched line, as the standard group box of the layout draws it.
    qDrawShadeRect(painter, subControlRect(CC_GroupBox, box, SC_GroupBoxFrame, widget),
                   box->palette, true, 1, 0);
    painter->restore();
    if (!label.isEmpty()) {
      proxy()->drawItemText(painter, label, Qt::AlignCenter | Qt::TextShowMnemonic, box->palette,
                            box->state & State_Enabled, box->text, QPalette::WindowText);
    }
  }
};

}  // namespace

void set_themed_drawing(int style) {
  static QString platform_style;
  if (platform_style.isEmpty()) platform_style = QApplication::style()->name();
  if (style >= 1 && style <= 3) {
    QApplication::setStyle(new ThemedStyle);
  } else {
    QApplication::setStyle(QStyleFactory::create(platform_style));
  }
}

void end_process(int code) {
  std::fflush(nullptr);
  _exit(code);
}

void run_message_loop() {
  end_process(QApplication::exec());
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
