#include "app/qt/main_window.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include "app/layout.h"
#include "app/qt/qt_controls.h"
#include "app/qt/qt_text.h"

namespace stdlookup {
namespace {

QWidget* make_widget(const ControlSpec& spec, QWidget* parent) {
  const QString caption = utf8_to_qstring(spec.caption);
  switch (spec.control_class) {
    case ControlClass::edit_box: {
      if (!spec.multi_line) return new QLineEdit(parent);
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
      if (spec.word_wrap) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      }
      if (spec.background) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, QColor(spec.background->red, spec.background->green,
                                                  spec.background->blue));
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
      auto* list = new QTableWidget(0, static_cast<int>(spec.columns.size()), parent);
      QStringList headers;
      for (const ListColumn& column : spec.columns) headers << utf8_to_qstring(column.header);
      list->setHorizontalHeaderLabels(headers);
      for (int i = 0; i < static_cast<int>(spec.columns.size()); ++i) {
        list->setColumnWidth(i, spec.columns[static_cast<std::size_t>(i)].width);
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
                       [this, name = name] { handle_event(actions_, *controls_, name); });
    }
  }
  handle_event(actions_, *controls_, kMainWindow);  // the end of the window's creation
}

MainWindow::~MainWindow() = default;

void MainWindow::build() {
  for (const ControlSpec& spec : main_window_layout()) {
    if (spec.control_class == ControlClass::window) {
      setObjectName(utf8_to_qstring(spec.name));
      setWindowTitle(utf8_to_qstring(spec.caption));
      move(spec.left, spec.top);
      resize(spec.width, spec.height);
      continue;
    }
    QWidget* parent = spec.parent == kMainWindow ? this : control(spec.parent);
    QWidget* widget = make_widget(spec, parent ? parent : this);
    if (widget == nullptr) continue;
    widget->setObjectName(utf8_to_qstring(spec.name));
    widget->setGeometry(spec.left, spec.top, spec.width, spec.height);
    widget->setFocusPolicy((spec.flags & kControlFocus) ? Qt::StrongFocus : Qt::NoFocus);
    widget->setEnabled((spec.flags & kControlDisabled) == 0);
    if (!(spec.flags & kControlVisible)) widget->hide();
    widgets_.emplace(std::string(spec.name), widget);
  }
}

QWidget* MainWindow::control(std::string_view name) const {
  auto it = widgets_.find(name);
  return it == widgets_.end() ? nullptr : it->second;
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
