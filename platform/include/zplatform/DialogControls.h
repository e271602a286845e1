// Controls of a dialog template: created in their parent at a position in
// dialog units, with the template's id as their object name, so that a
// dialog's GetDlgItem and the tests find them by id.
#pragma once

#include <zplatform/DialogUnits.h>

#include <QPushButton>
#include <QString>
#include <QWidget>

namespace zplatform {

// A new control of type Widget, owned by parent, named by its id.
template <typename Widget>
Widget* PlaceControl(QWidget* parent, int id, QRect rect) {
  auto* widget = new Widget(parent);  // owned by parent
  widget->setObjectName(QString::number(id));
  widget->setGeometry(rect);
  return widget;
}

// A push button with its label (an "&" marks the mnemonic).
inline QPushButton* PlaceButton(QWidget* parent, int id, const QString& label, QRect rect) {
  auto* button = PlaceControl<QPushButton>(parent, id, rect);
  button->setText(label);
  return button;
}

}  // namespace zplatform
