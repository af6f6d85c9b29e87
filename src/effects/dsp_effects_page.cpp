#include "effects/dsp_effects_page.h"

#include <QCheckBox>
#include <QFont>

#include "effects/effect_chain.h"

DspEffectsPage::DspEffectsPage(mirvane::PlaybackEngine &engine, QWidget *parent)
    : QWidget(parent), chain_(mirvane::EffectChain::Of(engine)) {
    setObjectName("DspEffectsPage");
    resize(kWidth, kHeight);
    // The configuration window's small font: the longest caption fits its column.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    using Handler = void (DspEffectsPage::*)();
    static constexpr Handler kHandlers[mirvane::effects::kEffects] = {
        &DspEffectsPage::checkbox1Click,   &DspEffectsPage::checkbox2Click,
        &DspEffectsPage::echo2Click,       &DspEffectsPage::echo21Click,
        &DspEffectsPage::vrcheckled4Click, &DspEffectsPage::awahClick,
        &DspEffectsPage::dampClick,        &DspEffectsPage::vrcheckled5Click,
        &DspEffectsPage::vrcheckled3Click, &DspEffectsPage::vrcheckled2Click,
        &DspEffectsPage::vrcheckled1Click, &DspEffectsPage::checkbox3Click};
    for (int i = 0; i < mirvane::effects::kEffects; ++i) {
        const mirvane::effects::EffectBox &e = mirvane::effects::kEffectTable[i];
        auto *box = new QCheckBox(e.caption, this);
        box->setObjectName(e.box);
        // The right column runs to the page's edge; the left one stops short of it.
        box->setGeometry(e.x, e.y, (e.x < 128 ? 128 : kWidth) - e.x - 4,
                         mirvane::effects::kBoxHeight);
        box->setStyleSheet("QCheckBox { color: white; }");
        connect(box, &QCheckBox::clicked, this, kHandlers[i]);
        if (i > 0)
            setTabOrder(Boxes[i - 1], box);
        Boxes[i] = box;
    }
}

void DspEffectsPage::BoxClicked(int index) {
    chain_.SetEffect(mirvane::effects::kEffectTable[index].dsp, Boxes[index]->isChecked());
}

void DspEffectsPage::checkbox1Click() {
    BoxClicked(0);
}
void DspEffectsPage::checkbox2Click() {
    BoxClicked(1);
}
void DspEffectsPage::echo2Click() {
    BoxClicked(2);
}
void DspEffectsPage::echo21Click() {
    BoxClicked(3);
}
void DspEffectsPage::vrcheckled4Click() {
    BoxClicked(4);
}
void DspEffectsPage::awahClick() {
    BoxClicked(5);
}
void DspEffectsPage::dampClick() {
    BoxClicked(6);
}
void DspEffectsPage::vrcheckled5Click() {
    BoxClicked(7);
}
void DspEffectsPage::vrcheckled3Click() {
    BoxClicked(8);
}
void DspEffectsPage::vrcheckled2Click() {
    BoxClicked(9);
}
void DspEffectsPage::vrcheckled1Click() {
    BoxClicked(10);
}
void DspEffectsPage::checkbox3Click() {
    BoxClicked(11);
}
