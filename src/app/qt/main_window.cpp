#include "app/qt/main_window.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <cassert>

#include "app/front_end.h"
#include "app/layout.h"
#include "app/qt/qt_controls.h"
#include "app/qt/qt_text.h"
#include "app/qt/start_up.h"

namespace stdlookup {
namespace {

QWidget* make_widget(const ControlEntry& entry, QWidget* parent) {
  const QString caption = utf8_to_qstring(entry.caption);
  switch (entry.control_class) {
    case ControlClass::edit_box: {
      if (!entry.multi_line) return new QLineEdit(parent);
      auto* edit = new QPlainTextEdit(parent);
      edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      edit->setTabChangesFocus(true);
      return edit;
    }
    case ControlClass::group_box:
      return new QGroupBox(caption, parent);
    case ControlClass::label: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);  // scraped texts are shown, never interpreted
      label->setText(caption);
      if (entry.word_wrap) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      }
      if (entry.background) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, QColor(entry.background->red, entry.background->green,
                                                  entry.background->blue));
        label->setPalette(palette);
        label->setAutoFillBackground(true);
      }
      return label;
    }
    case ControlClass::button:
      return new QPushButton(caption, parent);
    case ControlClass::process_bar: {
      auto* bar = new QProgressBar(parent);
      bar->setRange(0, 100);
      bar->setValue(0);
      bar->setTextVisible(false);
      return bar;
    }
    case ControlClass::list_view: {
      auto* list = new QTableWidget(0, static_cast<int>(entry.columns.size()), parent);
      QStringList headers;
      for (const ListColumn& column : entry.columns) headers << utf8_to_qstring(column.header);
      list->setHorizontalHeaderLabels(headers);
      for (int i = 0; i < static_cast<int>(entry.columns.size()); ++i) {
        list->setColumnWidth(i, entry.columns[static_cast<std::size_t>(i)].width);
      }
      list->verticalHeader()->hide();
      list->horizontalHeader()->setSectionsClickable(true);
      list->horizontalHeader()->setHighlightSections(false);
      list->horizontalHeader()->setStretchLastSection(false);
      list->setShowGrid(true);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setSelectionBehavior(QAbstractItemView::SelectItems);
      list->setEditTriggers(QAbstractItemView::NoEditTriggers);
      list->setSortingEnabled(false);
      list->setWordWrap(false);
      // A report list: one text line per row plus a small margin, and Tab moves on to the next
      // control instead of through the cells.
      list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
      list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
      list->setTabKeyNavigation(false);
      QPalette palette = list->palette();
      palette.setColor(QPalette::Base, Qt::white);
      palette.setColor(QPalette::Text, Qt::black);
      list->setPalette(palette);
      return list;
    }
    case ControlClass::window:
    case ControlClass::common_dialog:
    case ControlClass::excel_app:
    case ControlClass::excel_workbooks:
      return nullptr;
  }
  return nullptr;
}

}  // namespace

MainWindow::MainWindow(Actions actions) : actions_(std::move(actions)) {
  build();
  controls_ = std::make_unique<QtControls>(*this);
  for (const auto& [name, widget] : widgets_) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      QObject::connect(button, &QAbstractButton::clicked, this,
                       [this, name = name] { click(name); });
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget); edit && !enter_clicks(name).empty()) {
      auto* target = qobject_cast<QAbstractButton*>(control(enter_clicks(name)));
      QObject::connect(edit, &QLineEdit::returnPressed, target, &QAbstractButton::click);
    }
  }
  handle_event(actions_, *controls_, kMainWindow);  // the end of the window's creation
}

MainWindow::~MainWindow() = default;

void MainWindow::build() {
  for (const ControlEntry& entry : main_window_layout()) {
    if (entry.control_class == ControlClass::window) {
      setObjectName(utf8_to_qstring(entry.name));
      setWindowTitle(utf8_to_qstring(entry.caption));
      move(entry.left, entry.top);
      // The window system draws its own frame; the client area is what a Windows frame leaves.
      const ClientSize client = main_window_client_size();
      resize(client.width, client.height);
      setMinimumSize(client.width, client.height);  // smaller, controls would vanish
      continue;
    }
    QWidget* parent = entry.parent == kMainWindow ? this : control(entry.parent);
    QWidget* widget = make_widget(entry, parent ? parent : this);
    if (widget == nullptr) continue;
    widget->setObjectName(utf8_to_qstring(entry.name));
    widget->setGeometry(entry.left, entry.top, entry.width, entry.height);
    widget->setFocusPolicy((entry.flags & kControlFocus) ? Qt::StrongFocus : Qt::NoFocus);
    widget->setEnabled((entry.flags & kControlDisabled) == 0);
    if (!(entry.flags & kControlVisible)) widget->hide();
    widgets_.emplace(std::string(entry.name), widget);
  }
}

QWidget* MainWindow::control(std::string_view name) const {
  assert(is_control_name(name) && "not a control of the window");
  auto it = widgets_.find(name);
  return it == widgets_.end() ? nullptr : it->second;
}

void MainWindow::click(std::string_view name) {
  // A close that waited for the action comes through the event loop, as the window system's
  // own would, and ends it.
  click_control(actions_, *controls_, name,
                [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!close_requested()) return event->ignore();
  QWidget::closeEvent(event);
}

void MainWindow::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (first_paint_) {
    auto callback = std::move(first_paint_);
    first_paint_ = nullptr;
    callback();
  }
}

}  // namespace stdlookup
