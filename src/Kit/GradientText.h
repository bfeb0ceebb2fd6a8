#pragma once

#include <QColor>
#include <QFont>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

// One line of text filled with a top-to-bottom gradient, painted once into a texture (and again
// only when it changes), so it looks the same with every renderer and costs nothing per frame:
//     GradientText { text: "ملودریفت"; font: Theme.font(26, Font.ExtraBold); topColor: "white"; bottomColor: "#b8ffffff" }
class GradientText : public QQuickPaintedItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY fontChanged)
    Q_PROPERTY(QColor topColor READ topColor WRITE setTopColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor bottomColor READ bottomColor WRITE setBottomColor NOTIFY colorsChanged)

public:
    explicit GradientText(QQuickItem *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    QFont font() const { return m_font; }
    void setFont(const QFont &font);
    QColor topColor() const { return m_top; }
    void setTopColor(const QColor &color);
    QColor bottomColor() const { return m_bottom; }
    void setBottomColor(const QColor &color);

    void paint(QPainter *painter) override;

signals:
    void textChanged();
    void fontChanged();
    void colorsChanged();

private:
    void relayout();

    QString m_text;
    QFont m_font;
    QColor m_top = Qt::white;
    QColor m_bottom = Qt::white;
};
