#include "app/XmlListWidget.h"

#include "xml/XmlDocument.h"

using Zelvo::XmlAttribute;
using Zelvo::XmlElement;

XmlListWidget::XmlListWidget(QWidget* parent) : QListWidget(parent) {
    connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this, &XmlListWidget::OnEditTextDone);
}

void XmlListWidget::Fill(Zelvo::XmlDocument& document, const char* elementName) {
    clear();
    XmlElement* parent = document.FindElement(elementName, nullptr, false);
    if (!parent)
        return;
    for (Zelvo::XmlNode* node = parent->FirstChild(); node; node = node->NextSibling()) {
        XmlElement* element = Zelvo::AsElement(node);
        XmlAttribute* item = element ? element->Attribute("item", false) : nullptr;
        if (!item)
            continue;
        auto* row = new QListWidgetItem(QString::fromUtf8(item->Value().c_str()), this);
        row->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(element)));
    }
}

XmlElement* XmlListWidget::ElementOf(const QListWidgetItem* row) {
    return row ? reinterpret_cast<XmlElement*>(row->data(Qt::UserRole).value<quintptr>()) : nullptr;
}

QListWidgetItem* XmlListWidget::RowOf(const XmlElement* element) const {
    if (!element)
        return nullptr;
    for (int i = 0; i < count(); ++i)
        if (ElementOf(item(i)) == element)
            return item(i);
    return nullptr;
}

QListWidgetItem* XmlListWidget::Select(const XmlElement* element) {
    QListWidgetItem* row = RowOf(element);
    if (row) {
        setCurrentItem(row);
        row->setSelected(true);
    }
    return row;
}

QListWidgetItem* XmlListWidget::Deselect(const XmlElement* element) {
    QListWidgetItem* row = RowOf(element);
    if (row) {
        setCurrentItem(row);
        row->setSelected(false);
    }
    return row;
}

int XmlListWidget::CountText(const QString& text) const {
    int n = 0;
    for (int i = 0; i < count(); ++i)
        if (item(i)->text() == text)
            ++n;
    return n;
}

// Rows are editable only while a rename runs, so a double click never opens an editor.
void XmlListWidget::StartRename(QListWidgetItem* row) {
    if (!row)
        return;
    textBeforeEdit = row->text();
    renaming = true;
    setCurrentItem(row);
    row->setFlags(row->flags() | Qt::ItemIsEditable);
    editItem(row);
    row->setFlags(row->flags() & ~Qt::ItemIsEditable);
}

void XmlListWidget::OnEditTextDone(QWidget*, QAbstractItemDelegate::EndEditHint) {
    if (!renaming)
        return;
    renaming = false;
    emit EditTextDone(currentItem(), textBeforeEdit);
}
