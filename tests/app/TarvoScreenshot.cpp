// Writes a picture of the main dialog, shaped by its outline, with a few recipients, for the docs.
// Usage: QT_QPA_PLATFORM=offscreen tarvo_screenshot MAIN.png
#include "CContactPickerDlg.h"
#include "CTarvoDlg.h"
#include "ResourceIds.h"
#include "TarvoStrings.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s MAIN.png\n", argv[0]);
    return 2;
  }
  tarvo::RegisterStrings();
  CTarvoDlg dlg;
  dlg.SetPickerFactory([](int) {
    auto picker = std::make_unique<CContactPickerDlg>();
    for (const char* name : {"Ann Berg", "Chen Li", "Dora Ekblad", "Emil Fors", "Greta Holm", "Ivo Jansen"})
      picker->m_aContacts.Add(CContact(QString(name).toLower().replace(' ', '.').toStdString() + "@example.org", name));
    QTimer::singleShot(0, picker.get(), &QDialog::accept);
    return picker;
  });
  dlg.OnPickContacts(tarvo::IDC_ADD_TEXT_FILE);
  qobject_cast<QLineEdit*>(dlg.GetDlgItem(tarvo::IDC_TITLE))->setText("Spring lantern walk");
  auto* list = qobject_cast<QTreeView*>(dlg.GetDlgItem(tarvo::IDC_CONTACT_LIST));
  list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  dlg.show();
  QApplication::processEvents();
  // Rendered rather than grabbed: render() leaves what lies outside the shape transparent, and puts
  // the top-left of the shaped part at the offset given.
  QImage picture(dlg.size(), QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::transparent);
  dlg.render(&picture, dlg.mask().boundingRect().topLeft());
  if (picture.save(QString::fromLocal8Bit(argv[1]))) return 0;
  std::fprintf(stderr, "cannot write %s\n", argv[1]);
  return 1;
}
