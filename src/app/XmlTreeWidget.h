#pragma once

#include <QTreeWidget>

namespace Zelvo {
class XmlDocument;
class XmlElement;
}  // namespace Zelvo

// A one-column tree of an XML element and its descendants: the top row shows the element's
// name, every other row the `item` attribute of its element. Rows and elements are linked both
// ways (the row keeps the element's address under Qt::UserRole in column 0, the element keeps
// the row as its tree item). The owner refills the tree after it changes or replaces the
// document; the links of an earlier fill are not valid after that.
class XmlTreeWidget : public QTreeWidget {
    Q_OBJECT

public:
    explicit XmlTreeWidget(QWidget* parent = nullptr);

    // The header shows elementName; the tree stays empty when the document has no such
    // element (searched from the root, never created).
    void Fill(Zelvo::XmlDocument& document, const char* elementName);
    static Zelvo::XmlElement* ElementOf(const QTreeWidgetItem* row);
    static QTreeWidgetItem* RowOf(const Zelvo::XmlElement* element);

public slots:
    // Keeps the column as wide as the rows that show.
    void OnExpandCollapse(QTreeWidgetItem* row);

protected:
    // The branch arrow of each row, down where it is expanded, right where not.
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;

private:
    QTreeWidgetItem* AddRow(QTreeWidgetItem* parent, Zelvo::XmlElement* element, const QString& text);
    void AddChildren(QTreeWidgetItem* row, Zelvo::XmlElement* element);
};
