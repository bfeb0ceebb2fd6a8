#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class Equalizer;

// The equaliser sheet's view of the equaliser settings: every control writes straight into the
// settings object, which stores the change and hands it to the audio at once. The sheet keeps no
// state of its own.
//
// QML (EQView.qml): EQViewModel { id: model }, then model.enabled, model.setGain(i, v), ...
class EQViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    Q_PROPERTY(QString selectedPreset READ selectedPreset NOTIFY selectedPresetChanged)
    // "حالت: " followed by the selected preset's name.
    Q_PROPERTY(QString presetLabel READ presetLabel NOTIFY selectedPresetChanged)
    // The preset names in menu order.
    Q_PROPERTY(QStringList presetNames READ presetNames CONSTANT)
    Q_PROPERTY(QStringList bandTitles READ bandTitles CONSTANT)
    // Five gains in dB, band order, as numbers.
    Q_PROPERTY(QVariantList gains READ gains NOTIFY gainsChanged)
    // The five gains as the sheet writes them ("%+.0f": "+0", "-1", "+3").
    Q_PROPERTY(QStringList gainTexts READ gainTexts NOTIFY gainsChanged)
    Q_PROPERTY(QString footerText READ footerText CONSTANT)
    Q_PROPERTY(double minGain READ minGain CONSTANT)
    Q_PROPERTY(double maxGain READ maxGain CONSTANT)

public:
    // Uses the process's equaliser.
    explicit EQViewModel(QObject *parent = nullptr);
    // Tests hand in their own; it must outlive the model.
    explicit EQViewModel(Equalizer *equalizer, QObject *parent = nullptr);

    bool enabled() const;
    void setEnabled(bool enabled);
    QString selectedPreset() const;
    QString presetLabel() const;
    static QStringList presetNames();
    static QStringList bandTitles();
    QVariantList gains() const;
    QStringList gainTexts() const;
    static QString footerText();
    static double minGain();
    static double maxGain();

    // A menu item: the preset of that name (all five gains, and the equaliser on).
    Q_INVOKABLE void applyPreset(const QString &name);
    // A band slider moved: that band's gain (clamped), and the preset becomes "سفارشی".
    Q_INVOKABLE void setGain(int band, double gain);

    // A gain as the sheet writes it: sign always shown, rounded to a whole number ("-0" for -0.4).
    static QString gainText(float gain);

signals:
    void enabledChanged();
    void selectedPresetChanged();
    void gainsChanged();

private:
    Equalizer *m_eq;
};
