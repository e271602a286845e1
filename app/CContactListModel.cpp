#include "CContactListModel.h"

CContactListModel::CContactListModel(CContactArray& contacts, QObject* parent)
    : QAbstractTableModel(parent), m_contacts(contacts) {}

int CContactListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_contacts.GetSize();
}

int CContactListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant CContactListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_contacts.GetSize()) return {};
  const CContact& contact = m_contacts[index.row()];
  const std::string& text = index.column() == kNameColumn ? contact.m_sName : contact.m_sAddress;
  return QString::fromStdString(text);
}

QVariant CContactListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  return section == kNameColumn ? QStringLiteral("Name") : QStringLiteral("Address");
}

void CContactListModel::Refresh() {
  beginResetModel();
  endResetModel();
}

void CContactListModel::RemoveRows(int first, int count) {
  if (first < 0 || count <= 0 || count > m_contacts.GetSize() - first) return;
  beginRemoveRows(QModelIndex(), first, first + count - 1);
  m_contacts.RemoveAt(first, count);
  endRemoveRows();
}
