// Writes a picture of the main dialog, shaped by its outline, with a few recipients, and optionally
// one of the About box, for the docs.
// Usage: QT_QPA_PLATFORM=offscreen tarvo_screenshot MAIN.png [ABOUT.png]
#include "CAboutDlg.h"
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

namespace {

// Rendered rather than grabbed: grab() ignores the window's shape, render()
// leaves what lies outside it transparent.
bool Save(QWidget& window, const char* path) {
  QImage picture(window.size(), QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::transparent);
  // render() puts the top-left of the shaped part at the offset given.
  window.render(&picture, window.mask().boundingRect().topLeft());
  if (picture.save(QString::fromLocal8Bit(path))) return true;
  std::fprintf(stderr, "cannot write %s\n", path);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s MAIN.png [ABOUT.png]\n", argv[0]);
    return 2;
  }
  tarvo::RegisterStrings();
  CTarvoDlg dlg;
  dlg.SetPickerFactory([](int) {
    auto picker = std::make_unique<CContactPickerDlg>();
    const char* const people[][2] = {
        {"ann.berg@example.org", "Ann Berg"},         {"chen.li@example.net", "Chen Li"},
        {"dora.ekblad@example.com", "Dora Ekblad"},   {"emil.fors@example.org", "Emil Fors"},
        {"greta.holm@example.net", "Greta Holm"},     {"ivo.jansen@example.com", "Ivo Jansen"},
    };
    for (const auto& person : people) picker->m_aContacts.Add(CContact(person[0], person[1]));
    QTimer::singleShot(0, picker.get(), &QDialog::accept);
    return picker;
  });
  dlg.OnPickContacts(tarvo::IDC_ADD_TEXT_FILE);
  qobject_cast<QLineEdit*>(dlg.GetDlgItem(tarvo::IDC_TITLE))->setText("Spring lantern walk");
  auto* list = qobject_cast<QTreeView*>(dlg.GetDlgItem(tarvo::IDC_CONTACT_LIST));
  list->selectionModel()->select(list->model()->index(2, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  dlg.show();
  QApplication::processEvents();
  if (!Save(dlg, argv[1])) return 1;
  if (argc == 3) {
    CAboutDlg about(&dlg);
    about.show();
    QApplication::processEvents();
    if (!Save(about, argv[2])) return 1;
  }
  return 0;
}
