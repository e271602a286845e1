#include "PickerControls.h"

#include "skin/SkinResources.h"

#include <zplatform/DialogControls.h>
#include <zplatform/Resources.h>

#include <QBitmap>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

namespace tarvo {
namespace {

constexpr int kImageSize = 16;
constexpr QRgb kTransparent = 0xFF00FF;
constexpr int kItemDataRole = Qt::UserRole;

}  // namespace

QPushButton* PlaceOkCancel(QDialog& dialog) {
  QPushButton* ok = zplatform::PlaceButton(&dialog, 1, QStringLiteral("OK"), zplatform::DluRect(139, 175, 50, 14));
  ok->setDefault(true);
  QPushButton* cancel =
      zplatform::PlaceButton(&dialog, 2, QStringLiteral("Cancel"), zplatform::DluRect(193, 175, 50, 14));
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  return ok;
}

QLabel* PlaceIcon(QWidget* parent, UINT id, QRect rect) {
  const std::string path = zplatform::ResourcePath(zplatform::ResourceKind::Icon, id);
  const QIcon icon = path.empty() ? parent->style()->standardIcon(QStyle::SP_MessageBoxInformation)
                                  : QIcon(QString::fromStdString(path));
  auto* label = new QLabel(parent);  // owned by parent
  label->setObjectName(QStringLiteral("icon"));
  label->setGeometry(rect);
  label->setPixmap(icon.pixmap(rect.size()));
  return label;
}

std::array<QIcon, 2> LoadTreeImages() {
  std::array<QIcon, 2> images;
  const QImage strip = LoadSkinBitmap(IDB_TREE_IMAGES);
  for (int at = 0; at < int(images.size()); ++at) {
    if (strip.width() < (at + 1) * kImageSize || strip.height() < kImageSize) break;
    QPixmap picture = QPixmap::fromImage(strip.copy(at * kImageSize, 0, kImageSize, kImageSize));
    picture.setMask(picture.createMaskFromColor(QColor::fromRgb(kTransparent), Qt::MaskInColor));
    images[std::size_t(at)] = QIcon(picture);
  }
  return images;
}

void SetUpTree(QTreeWidget& tree) {
  tree.setHeaderHidden(true);
  tree.setColumnCount(1);
  tree.setRootIsDecorated(true);
  tree.setIconSize(QSize(kImageSize, kImageSize));
}

QTreeWidgetItem* InsertTreeItem(QTreeWidget& tree, QTreeWidgetItem* parent, const std::string& text,
                                const QIcon& image, int data) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&tree);  // owned by the tree
  item->setText(0, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  item->setIcon(0, image);
  SetItemData(*item, data);
  return item;
}

int ItemData(const QTreeWidgetItem& item) { return item.data(0, kItemDataRole).toInt(); }

void SetItemData(QTreeWidgetItem& item, int data) { item.setData(0, kItemDataRole, data); }

void BringToTop(QWidget& window) {
  // On Windows the picker is made topmost and at once not topmost again; in
  // Qt changing the stay-on-top flag re-creates the window, so the window is
  // raised and activated instead, which is what the user sees there too.
  window.raise();
  window.activateWindow();
}

}  // namespace tarvo
