// CContactListModel: the two-column view of the recipient table ("Name",
// "Address") behind the main dialog's list. It reads the table directly, so a
// rebuild of any size is one model reset; row removals go through it so that
// the view and the table never disagree.
#pragma once

#include "CContactArray.h"

#include <QAbstractTableModel>

class CContactListModel : public QAbstractTableModel {
  Q_OBJECT

public:
  explicit CContactListModel(CContactArray& contacts, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // Shows the table as it is now; every row comes back unselected.
  void Refresh();
  // Removes count rows from first on, from the view and the table together;
  // a run outside the table changes nothing.
  void RemoveRows(int first, int count);

  static constexpr int kNameColumn = 0;
  static constexpr int kAddressColumn = 1;

private:
  CContactArray& m_contacts;
};
