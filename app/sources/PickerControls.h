// PickerControls: what the address-book and contacts pickers share beyond
// the dialog base: a dialog's icon from the program's resources, the trees of
// folders and contacts with their 16-pixel images and item data, and bringing
// a picker to the front when it appears.
#pragma once

#include <zplatform/WinTypes.h>

#include <QIcon>
#include <QRect>

#include <array>
#include <string>

class QDialog;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace tarvo {

// The strip of tree images: bitmap 148, 16 by 16 images side by side, magenta
// transparent.
inline constexpr unsigned IDB_TREE_IMAGES = 148;
enum TreeImage { kFolderImage = 0, kContactImage = 1 };

// A label showing icon resource id (the style's information icon when the
// program lacks it).
QLabel* PlaceIcon(QWidget* parent, UINT id, QRect rect);

// OK (the default button, id 1) and Cancel (id 2, which rejects) at the
// bottom right of a picker 250 dialog units wide; returns OK for its handler.
QPushButton* PlaceOkCancel(QDialog& dialog);

// The image list: the strip's images by TreeImage; null icons when the
// bitmap does not load.
std::array<QIcon, 2> LoadTreeImages();

// Gives a picker's tree its look: no header, expand buttons at the root, the
// 16-pixel images.
void SetUpTree(QTreeWidget& tree);

// A new last child of parent (a top-level item without one) with its text,
// image and item data.
QTreeWidgetItem* InsertTreeItem(QTreeWidget& tree, QTreeWidgetItem* parent, const std::string& text,
                                const QIcon& image, int data);
// The item data given at insertion (or set later with SetItemData).
int ItemData(const QTreeWidgetItem& item);
void SetItemData(QTreeWidgetItem& item, int data);

// Brings the window to the front of the others and gives it the keyboard.
void BringToTop(QWidget& window);

}  // namespace tarvo
