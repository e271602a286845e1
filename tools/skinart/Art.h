// Art: the program's pictures, drawn with QPainter. Each function returns a
// full-colour picture; main.cpp turns them into the resource files.
#pragma once

#include "skin/SkinGeometry.h"

#include <QImage>
#include <QPainter>

namespace skinart {

// The window's places and colours are the program's own.
using namespace tarvo::skin;

// The gold medallion with the product's initial: the logo and the icon.
void PaintMedallion(QPainter& painter, QPointF centre, double radius);

// The main window's background, 557 by 411, in bitmap coordinates.
QImage PaintBackground();

enum class TitleSymbol { Help, Close };
enum class TitleState { Normal, Pressed, Hover };

// A 21 by 21 title button face, and the mask that cuts its corner pixels.
QImage PaintTitleButton(TitleSymbol symbol, TitleState state);
QImage PaintTitleButtonMask();

// The program icon at one size.
QImage PaintProgramIcon(int size);

// The pickers' dialog icons at one size.
enum class PickerIcon { OutlookContacts, AddressBook, TextFile };
QImage PaintPickerIcon(PickerIcon icon, int size);

// Folder and contact card side by side, 16 by 16 each, on magenta.
QImage PaintFolderContactStrip();

// The 32 by 32 pointing hand, black outline on white, its finger tip at (12, 4).
QImage PaintHandCursor();

}  // namespace skinart
