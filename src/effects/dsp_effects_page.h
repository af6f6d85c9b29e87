#pragma once
// DspEffectsPage, the "DSP effects" page of the configuration window: twelve check boxes, one
// per effect of the effects library (effect_table.h gives captions, names, places and effect
// numbers). A ticked box means its effect is heard: it is attached to the channel that plays
// and to every channel the engine starts later (through the engine's EffectChain), smoothly.
// All boxes start unticked; nothing is stored.
//
// GUI thread only.

#include <QWidget>
#include <array>

#include "effects/effect_table.h"

class QCheckBox;

namespace mirvane {
class PlaybackEngine;
class EffectChain;
} // namespace mirvane

class DspEffectsPage : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 260, kHeight = 161; // the configuration window's page area

    explicit DspEffectsPage(mirvane::PlaybackEngine &engine, QWidget *parent = nullptr);

    // In the table's (tab) order.
    std::array<QCheckBox *, mirvane::effects::kEffects> Boxes{};

  public slots:
    void checkbox1Click();
    void checkbox2Click();
    void echo2Click();
    void echo21Click();
    void vrcheckled4Click();
    void awahClick();
    void dampClick();
    void vrcheckled5Click();
    void vrcheckled3Click();
    void vrcheckled2Click();
    void vrcheckled1Click();
    void checkbox3Click();

  private:
    // The click has toggled the box already: its effect follows the new state.
    void BoxClicked(int index);

    mirvane::EffectChain &chain_;
};
