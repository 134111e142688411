#include "app/qt/themed_drawing.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>

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

}  // namespace stdlookup
