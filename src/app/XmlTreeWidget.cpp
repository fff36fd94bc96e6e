#include "app/XmlTreeWidget.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include "xml/XmlDocument.h"

using Zelvo::XmlAttribute;
using Zelvo::XmlElement;

XmlTreeWidget::XmlTreeWidget(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    connect(this, &QTreeWidget::itemExpanded, this, &XmlTreeWidget::OnExpandCollapse);
    connect(this, &QTreeWidget::itemCollapsed, this, &XmlTreeWidget::OnExpandCollapse);
}

void XmlTreeWidget::Fill(Zelvo::XmlDocument& document, const char* elementName) {
    clear();
    setHeaderLabel(QString::fromUtf8(elementName));
    XmlElement* top = document.FindElement(elementName, nullptr, false);
    if (!top)
        return;
    QTreeWidgetItem* row = AddRow(nullptr, top, QString::fromUtf8(elementName));
    AddChildren(row, top);
}

QTreeWidgetItem* XmlTreeWidget::AddRow(QTreeWidgetItem* parent, XmlElement* element, const QString& text) {
    auto* row = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    row->setText(0, text);
    row->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(element)));
    element->SetTreeItem(row);
    return row;
}

// Elements without `item` are left out together with everything below them: a row would
// have nothing to show.
void XmlTreeWidget::AddChildren(QTreeWidgetItem* row, XmlElement* element) {
    for (Zelvo::XmlNode* node = element->FirstChild(); node; node = node->NextSibling()) {
        XmlElement* child = Zelvo::AsElement(node);
        XmlAttribute* item = child ? child->Attribute("item", false) : nullptr;
        if (!item)
            continue;
        AddChildren(AddRow(row, child, QString::fromUtf8(item->Value().c_str())), child);
    }
}

XmlElement* XmlTreeWidget::ElementOf(const QTreeWidgetItem* row) {
    return row ? reinterpret_cast<XmlElement*>(row->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

QTreeWidgetItem* XmlTreeWidget::RowOf(const XmlElement* element) {
    return element ? static_cast<QTreeWidgetItem*>(element->TreeItem()) : nullptr;
}

void XmlTreeWidget::OnExpandCollapse(QTreeWidgetItem*) { resizeColumnToContents(0); }

// Inside the window's splitters every widget draws through a style-sheet style, which draws the
// branch of an expanded row closed until the pointer passes over the tree: the arrow is drawn
// here from the row's own state, in the indentation just left of the row.
void XmlTreeWidget::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const {
    if (!model()->hasChildren(index))
        return;
    QStyleOption option;
    option.initFrom(this);
    option.rect = QRect(rect.right() - indentation() + 1, rect.top(), indentation(), rect.height());
    const bool open = isExpanded(index);
    option.state |= QStyle::State_Children | (open ? QStyle::State_Open : QStyle::State_None);
    style()->drawPrimitive(open ? QStyle::PE_IndicatorArrowDown : QStyle::PE_IndicatorArrowRight, &option, painter,
                           this);
}
