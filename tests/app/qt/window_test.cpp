#include <gtest/gtest.h>

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/expected_layout.h"
#include "app/layout.h"
#include "app/qt/main_window.h"
#include "app/qt/qt_controls.h"
#include "app/qt/start_up.h"
#include "app/window_actions.h"
#include "lookup/query_url.h"
#include "qt_test_util.h"
#include "runtime/runtime_error.h"
#include "runtime/window_services.h"
#include "support/gbk_literals.h"
#include "support/opener_recorder.h"
#include "support/recording_actions.h"

namespace stdlookup {
namespace {

using test::RecordingActions;

using test::OpenerRecorder;

using test::answer_next_modal;
using test::click;
using test::q;
using test::wait_for;
using test::widget;

QString caption_of(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QPushButton*>(w)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
  return {};
}

// Where and how each control sits is a case of every front end (window_cases_test.cpp); here
// what is Qt's own: the window's size, widgets nested in their frames, captions as shown.
TEST(MainWindow, TheWindowAndItsWidgetsNestedAsTheLayoutSays) {
  MainWindow window{Actions{}};
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(window.objectName(), q(kMainWindow));
  EXPECT_EQ(window.windowTitle(), q("标准查询"));
  // The client area a standard Windows frame leaves of the layout's 929 × 605.
  EXPECT_EQ(window.size(), QSize(913, 566));
  EXPECT_EQ(window.pos(), QPoint(50, 50));
  for (const auto& expected : test::expected_controls()) {
    SCOPED_TRACE(std::string(expected.name));
    QWidget* w = widget(window, expected.name);
    ASSERT_NE(w, nullptr);
    ASSERT_NE(w->parentWidget(), nullptr);
    EXPECT_EQ(w->parentWidget()->objectName(),
              q(expected.parent.empty() ? kMainWindow : expected.parent));
    QString caption = q(expected.caption);
    caption.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(caption_of(w), caption);
  }
}

TEST(MainWindow, ControlsHaveTheirClassProperties) {
  MainWindow window{Actions{}};
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  for (std::string_view name :
       {kNumberInput, kNumberBox, kNameBox, kDownloadLinkBox, kDateBox, kDepartmentBox}) {
    EXPECT_NE(widget<QLineEdit>(window, name), nullptr) << name;
  }
  auto* batch_input = widget<QPlainTextEdit>(window, kBatchInput);
  ASSERT_NE(batch_input, nullptr);
  EXPECT_EQ(batch_input->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_FALSE(batch_input->isReadOnly());

  auto* list = widget<QTableWidget>(window, kResultList);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->columnCount(), 4);
  const std::vector<std::pair<std::string_view, int>> columns = {
      {"标准号", 100}, {"标准中文名", 160}, {"实施日期", 120}, {"是否作废", 80}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(list->horizontalHeaderItem(i)->text(), q(columns[static_cast<std::size_t>(i)].first));
    EXPECT_EQ(list->columnWidth(i), columns[static_cast<std::size_t>(i)].second);
  }
  EXPECT_TRUE(list->horizontalHeader()->isVisible());
  EXPECT_TRUE(list->horizontalHeader()->sectionsClickable());
  EXPECT_TRUE(list->showGrid());
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_NE(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_FALSE(list->isSortingEnabled());
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);

  auto* note = widget<QLabel>(window, kDownloadNoteLabel);
  EXPECT_TRUE(note->wordWrap());
  EXPECT_EQ(note->textFormat(), Qt::PlainText);

  // Only 标签5 has its own background; it is really drawn in that colour.
  const QColor pink(255, 168, 255);
  for (QLabel* label : window.findChildren<QLabel*>()) {
    const bool own = label->objectName() == q(kStatusLabel);
    EXPECT_EQ(label->autoFillBackground(), own) << label->objectName().toStdString();
    if (own) {
      EXPECT_EQ(label->palette().color(QPalette::Window), pink);
    }
  }
  const QImage image = widget(window, kStatusLabel)->grab().toImage();
  EXPECT_EQ(QColor(image.pixel(2, image.height() - 3)), pink);
}

// What a user needs stays in view: the start of a long field, one text line per list row (15
// rows at least), a cut-off cell's whole text, Tab out of the list, no shrinking below the
// layout, and Enter in the number box querying.
TEST(MainWindow, NothingAUserNeedsIsHidden) {
  RecordingActions recorder;
  MainWindow window(recorder.actions());
  window.show();
  QtControls& controls = window.controls();

  controls.set_edit_text(kDepartmentBox, test::g(std::string(40, 'x') + "中华人民共和国"));
  EXPECT_EQ(widget<QLineEdit>(window, kDepartmentBox)->cursorPosition(), 0);

  auto* list = widget<QTableWidget>(window, kResultList);
  EXPECT_LE(15 * list->verticalHeader()->defaultSectionSize() + list->horizontalHeader()->height(),
            list->height());
  EXPECT_GE(list->verticalHeader()->defaultSectionSize(), list->fontMetrics().height());
  EXPECT_FALSE(list->tabKeyNavigation());
  const Text name = test::g("食品安全国家标准 食品添加剂使用标准");
  controls.list_set_cell(kResultList, controls.list_insert_row(kResultList, "GB 1"), 1, name);
  EXPECT_EQ(list->item(0, 1)->toolTip(), q("食品安全国家标准 食品添加剂使用标准"));

  EXPECT_EQ(window.minimumSize(), QSize(913, 566));

  auto* number = widget<QLineEdit>(window, kNumberInput);
  number->setFocus();
  QTest::keyClick(number, Qt::Key_Return);
  EXPECT_EQ(recorder.ran, std::vector<std::string>{"single_query"});
}

TEST(MainWindow, DetailButtonOpensExactlyTheQueryUrlOfTheTypedNumber) {
  struct Case {
    QString typed;
    Text number;  // GBK, as the logic sees it
  };
  const std::vector<Case> cases = {
      {q(" GB 2760-2014  "), " GB 2760-2014  "},
      {q(""), ""},
      {q("食品 1"), test::g("食品 1")},
  };
  for (const Case& c : cases) {
    OpenerRecorder opener;
    MainWindow window(window_actions());
    window.show();
    auto* input = widget<QLineEdit>(window, kNumberInput);
    input->setFocus();
    if (c.typed.toLatin1() == c.typed.toUtf8()) {
      QTest::keyClicks(input, c.typed);
    } else {
      input->insert(c.typed);  // as an input method would; keyClicks takes ASCII only
    }
    ASSERT_EQ(input->text(), c.typed);
    click(window, kDetailButton);
    EXPECT_EQ(opener.opened, std::vector<Text>{query_url(c.number)}) << c.typed.toStdString();
  }
}

TEST(MainWindow, ALinkThatIsNotHttpOpensNothing) {
  // What the link button will do: hand 编辑框4 to the browser opener.
  Actions actions;
  actions.open_download_link = [](Controls& c) { open_in_browser(c.edit_text(kDownloadLinkBox)); };
  for (std::string_view link : {"", "file:///etc/passwd", "-display", "/usr/bin/xterm", "smb://h/x",
                                "https://example.org/d.pdf"}) {
    OpenerRecorder opener;
    MainWindow window(actions);
    window.show();
    window.controls().set_edit_text(kDownloadLinkBox, link);
    click(window, kDownloadLinkButton);
    const bool is_web = std::string_view(link).starts_with("https://");
    EXPECT_EQ(opener.opened.size(), is_web ? 1u : 0u) << link;
  }
}

// What the widgets show of texts, rows and the bar written through the controls (the GBK side
// is a case of every front end: window_cases_test.cpp).
TEST(QtControls, WidgetsShowTheWrittenTextsRowsAndProgress) {
  MainWindow window{Actions{}};
  QtControls& controls = window.controls();
  controls.set_edit_text(kBatchInput, test::g("国标\r\nGB 3"));
  EXPECT_EQ(widget<QPlainTextEdit>(window, kBatchInput)->toPlainText(), q("国标\nGB 3"));
  controls.set_edit_text(kNameBox, test::g("食品安全国家标准"));
  EXPECT_EQ(widget<QLineEdit>(window, kNameBox)->text(), q("食品安全国家标准"));
  controls.set_caption(kStatusLabel, test::g("<b>作废</b>"));
  EXPECT_EQ(widget<QLabel>(window, kStatusLabel)->text(), q("<b>作废</b>"));
  controls.set_caption(kDownloadLinkButton, test::g("找到了，点此下载"));
  EXPECT_EQ(widget<QPushButton>(window, kDownloadLinkButton)->text(), q("找到了，点此下载"));
  controls.list_set_cell(kResultList, controls.list_insert_row(kResultList, "GB 1"), 3,
                         test::g("现行"));
  EXPECT_EQ(widget<QTableWidget>(window, kResultList)->item(0, 3)->text(), q("现行"));

  auto* bar = widget<QProgressBar>(window, kProgressBar);
  controls.set_progress_maximum(kProgressBar, 50000);
  controls.set_progress_position(kProgressBar, 40000);  // beyond 32767: not clamped
  EXPECT_EQ(bar->maximum(), 50000);
  EXPECT_EQ(bar->value(), 40000);
  for (int maximum : {0, -3}) {  // an empty bar, not Qt's busy animation (range 0..0)
    controls.set_progress_maximum(kProgressBar, maximum);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_GT(bar->maximum(), bar->minimum());
  }
  controls.set_disabled(kExportButton, true);
  EXPECT_FALSE(widget(window, kExportButton)->isEnabled());
}

TEST(QtControls, WritesTogetherRunAsOneStepOnTheGuiThread) {
  std::atomic<bool> done{false};
  std::vector<bool> on_gui_thread;
  bool half_row_seen = false;
  Actions actions;
  actions.batch_query = [&](Controls& c) {
    c.together([&] {
      on_gui_thread.push_back(QThread::currentThread() == qApp->thread());
      int row = c.list_insert_row(kResultList, "");
      c.list_set_cell(kResultList, row, 0, "GB 1");
      c.list_set_cell(kResultList, row, 3, test::g("现行"));
      c.set_progress_position(kProgressBar, 1);
    });
    done = true;
  };
  MainWindow window(actions);
  window.show();
  auto* list = widget<QTableWidget>(window, kResultList);
  // Anything the GUI thread runs between events sees either no row or the whole row.
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (list->rowCount() == 1 && list->item(0, 3) == nullptr) half_row_seen = true;
  });
  probe.start(0);
  click(window, kBatchButton);
  ASSERT_TRUE(wait_for([&] { return done.load(); }));
  EXPECT_EQ(on_gui_thread, std::vector<bool>{true});
  ASSERT_EQ(list->rowCount(), 1);
  EXPECT_EQ(list->item(0, 0)->text(), q("GB 1"));
  EXPECT_EQ(list->item(0, 3)->text(), q("现行"));
  EXPECT_FALSE(half_row_seen);
}

// Rows the batch thread writes without a pause are painted while they come, but once a frame,
// not once a row: a paint per row would keep the batch thread waiting behind each paint. The
// frame is lengthened so that the count tells the two apart on a loaded or sanitized machine.
TEST(QtControls, RowsWrittenWithoutAPauseArePaintedWhileTheyComeOnceAFrame) {
  struct : QObject {  // counts the list's paints, filters nothing
    std::atomic<int> paints{0};
    bool eventFilter(QObject*, QEvent* e) override { return e->type() == e->Paint && !++paints; }
  } probe;
  constexpr int kPaints = 5;
  std::atomic<int> rows{0}, painted{-1};
  const int frame_ms = std::exchange(QtControls::frame_ms, 100);
  Actions actions;
  actions.batch_query = [&](Controls& c) {
    const int before = probe.paints;
    while (probe.paints - before < kPaints && rows < 5000) {
      c.list_insert_row(kResultList, "");
      ++rows;
    }
    painted = probe.paints - before;
  };
  MainWindow window(actions);
  widget<QTableWidget>(window, kResultList)->viewport()->installEventFilter(&probe);
  window.show();
  ASSERT_TRUE(wait_for([&] { return probe.paints > 0; }));  // the first paint, not the batch's
  click(window, kBatchButton);
  ASSERT_TRUE(wait_for([&] { return painted >= 0; }));
  QtControls::frame_ms = frame_ms;
  EXPECT_GE(painted, kPaints);
  EXPECT_GT(rows, painted * 3) << rows << " rows, " << painted << " paints";
}

bool themed() {
  auto* style = qobject_cast<QProxyStyle*>(QApplication::style());
  return style != nullptr && style->baseStyle()->name().toLower() == QStringLiteral("fusion");
}

TEST(ThemedDrawing, StylesOneToThreeSwitchItOnOthersRestoreThePlatformStyle) {
  const QString platform = QApplication::style()->name();
  ASSERT_FALSE(themed());
  set_themed_drawing(1);
  EXPECT_TRUE(themed());
  set_themed_drawing(0);
  EXPECT_FALSE(themed());
  EXPECT_EQ(QApplication::style()->name(), platform);
  set_themed_drawing(3);
  EXPECT_TRUE(themed());
  set_themed_drawing(4);
  EXPECT_EQ(QApplication::style()->name(), platform);
}

TEST(ThemedDrawing, GroupBoxFramesRunThroughTheMiddleOfTheTitleLine) {
  set_themed_drawing(1);
  {
    MainWindow window{Actions{}};
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* group = widget<QGroupBox>(window, kSingleQueryGroup);
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect frame = QApplication::style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                              QStyle::SC_GroupBoxFrame, group);
    const QRect label = QApplication::style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                              QStyle::SC_GroupBoxLabel, group);
    EXPECT_EQ(frame.top(), label.height() / 2);
    EXPECT_LT(frame.top(), 12);  // children at top 8 and 24 lie inside the frame
    // The etched line is drawn there, but not across the title.
    const QImage image = group->grab().toImage();
    const QRgb background = group->palette().color(QPalette::Window).rgb();
    EXPECT_NE(image.pixel(2, frame.top()), background);
    EXPECT_EQ(image.pixel(label.left(), frame.top()), background);
  }
  set_themed_drawing(0);
}

// Prints what the dialog shows, on one line ("/" for line breaks), then presses OK.
void print_and_accept(QWidget* modal) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  if (box == nullptr) return;
  QString text = box->text();
  text.replace(QChar('\n'), QChar('/'));
  std::fprintf(stderr, "thread=%s title=[%s] icon=%d text=[%s]\n",
               QThread::currentThread() == qApp->thread() ? "gui" : "other",
               box->windowTitle().toUtf8().constData(), static_cast<int>(box->icon()),
               text.toUtf8().constData());
  box->button(QMessageBox::Ok)->click();
}

TEST(WindowDeathTest, RuntimeErrorOnTheBatchThreadShowsTheDialogAndExitsMinusOne) {
  EXPECT_EXIT(
      {
        Actions actions;
        actions.batch_query = [](Controls&) { report_runtime_error(kIndexBelowOne); };
        MainWindow window(actions);
        window.show();
        answer_next_modal(print_and_accept);
        click(window, kBatchButton);
        run_message_loop();
      },
      ::testing::ExitedWithCode(255),
      "thread=gui title=\\[错误\\] icon=3 "
      "text=\\[运行时出错!//错误代码：4//错误信息：数组成员引用下标必须大于等于1/\\]");
}

TEST(Program, WithoutADisplayReportsThatTheWindowCannotBeLoadedAndExitsMinusOne) {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove(QStringLiteral("DISPLAY"));
  environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(STDLOOKUP_PROGRAM), QStringList{});
  ASSERT_TRUE(program.waitForFinished(60000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 255);
  const QString errors = QString::fromUtf8(program.readAllStandardError());
  EXPECT_TRUE(errors.contains(q("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n")))
      << errors.toStdString();
}

TEST(Program, NamesItselfToTheDesktop) {
  set_application_identity();
  EXPECT_EQ(QGuiApplication::desktopFileName().toStdString(), STDLOOKUP_APP_ID);
  EXPECT_FALSE(QApplication::windowIcon().pixmap(48).isNull());  // drawn from a real image
}

}  // namespace
}  // namespace stdlookup
