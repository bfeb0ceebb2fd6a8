#include "EQViewModel.h"

#include "Services/Equalizer.h"

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

EQViewModel::EQViewModel(QObject *parent) : EQViewModel(&Equalizer::shared(), parent) {}

EQViewModel::EQViewModel(Equalizer *equalizer, QObject *parent) : QObject(parent), m_eq(equalizer)
{
    Q_ASSERT(m_eq);
    connect(m_eq, &Equalizer::enabledChanged, this, &EQViewModel::enabledChanged);
    connect(m_eq, &Equalizer::selectedPresetChanged, this, &EQViewModel::selectedPresetChanged);
    connect(m_eq, &Equalizer::gainsChanged, this, &EQViewModel::gainsChanged);
}

bool EQViewModel::enabled() const
{
    return m_eq->enabled();
}

void EQViewModel::setEnabled(bool enabled)
{
    m_eq->setEnabled(enabled);
}

QString EQViewModel::selectedPreset() const
{
    return m_eq->selectedPreset();
}

QString EQViewModel::presetLabel() const
{
    return u"حالت: "_s + m_eq->selectedPreset();
}

QStringList EQViewModel::presetNames()
{
    QStringList names;
    for (const EQPreset &preset : EQPreset::all())
        names.append(preset.name);
    return names;
}

QStringList EQViewModel::bandTitles()
{
    return Equalizer::bandTitles();
}

QVariantList EQViewModel::gains() const
{
    QVariantList list;
    for (float gain : m_eq->gains())
        list.append(double(gain));
    return list;
}

QStringList EQViewModel::gainTexts() const
{
    QStringList texts;
    for (float gain : m_eq->gains())
        texts.append(gainText(gain));
    return texts;
}

QString EQViewModel::gainText(float gain)
{
    char text[32];
    std::snprintf(text, sizeof text, "%+.0f", double(gain));
    return QString::fromLatin1(text);
}

QString EQViewModel::footerText()
{
    // The lowest and highest band frequencies and the gain limit, in the sheet's own wording
    // ("hrtz" included); a minus sign (U+2212) before the lower limit.
    char text[256];
    std::snprintf(text, sizeof text,
                  "از %.0fhrtz تا %.0f — بهصورت زنده روی پخش اعمال میشود؛ دامنه از \u2212%.0f تا +%.0f دسیبل",
                  EqConstants::bandFreqs.front(), EqConstants::bandFreqs.back(), double(Equalizer::MaxGain),
                  double(Equalizer::MaxGain));
    return QString::fromUtf8(text);
}

double EQViewModel::minGain()
{
    return Equalizer::MinGain;
}

double EQViewModel::maxGain()
{
    return Equalizer::MaxGain;
}

void EQViewModel::applyPreset(const QString &name)
{
    m_eq->applyPreset(name);
}

void EQViewModel::setGain(int band, double gain)
{
    m_eq->setGain(band, float(gain));
}
