// Renders each shipped skin on the stand-in player window to PNG files, for looking at them:
//   MIRVANE_SKIN_GALLERY=<folder> skin_test --gtest_filter='SkinGallery.*'
// Skipped when the variable is not set.
#include "skin_host.h"

#include "common/dialogs.h"
#include "common/ini.h"
#include "controls/bitmap_font_label.h"
#include "controls/bitmap_slider.h"
#include "controls/spectrum_analyser.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

#include <cmath>

namespace {

// A believable analyser frame: louder bass, a few peaks left hanging above falling bars.
QImage SpectrumFrame() {
    SpectrumAnalyser painter(169, 57, 16);
    painter.LowLimit = 20;
    painter.MidLimit = 40;
    std::vector<float> levels(16);
    for (int frame = 0; frame < 6; ++frame) {
        for (int i = 0; i < 16; ++i) {
            const float shape = 46.0f * std::exp(-i / 7.0f) + 8.0f * std::sin(i * 1.7f + frame);
            levels[i] = frame < 3 ? shape + 6.0f : shape * 0.8f;
        }
        painter.Frame(levels);
    }
    return painter.BackBuffer().copy();
}

} // namespace

TEST(SkinGallery, RendersEveryShippedSkin) {
    const QString out = qEnvironmentVariable("MIRVANE_SKIN_GALLERY");
    if (out.isEmpty()) {
        GTEST_SKIP() << "set MIRVANE_SKIN_GALLERY to a folder to render the skins";
    }
    static int argc = 1;
    static char name[] = "skin_test";
    static char *argv[] = {name, nullptr};
    if (!QApplication::instance()) {
        new QApplication(argc, argv);
    }
    QDir().mkpath(out);
    const QString data = QStringLiteral(MIRVANE_SOURCE_DIR "/data/");
    for (const QString &skin : mirvane::SkinNames(data)) {
        mirvane::RecordingDialogs dialogs;
        SkinHost host;
        host.spectrumFrame = SpectrumFrame();
        mirvane::SkinState state;
        auto parts = host.parts();
        mirvane::LoadSkin(parts, state, data, skin);
        EXPECT_TRUE(dialogs.messages.empty()) << skin.toStdString();
        host.resize(host.ContentsRect().bottomRight().x() + 1,
                    host.ContentsRect().bottomRight().y() + 1);
        host.PaintBox1->show();
        host.STitle->setText("Mirvane Player ");
        host.Label1->setText("1:23");
        host.SliderPos->setValue(35);
        host.SliderVol->setValue(70);
        host.SliderBal->setValue(-20);
        ASSERT_TRUE(host.Snapshot().save(out + "/" + skin + ".png"));

        // Pressed: the play button and the position thumb held down.
        mirvane::SwapButtonImage(host.PlayBtn, state.skinDir, "playdown");
        host.SliderPos->Thumb()->SetPressedState(true);
        ASSERT_TRUE(host.Snapshot().save(out + "/" + skin + "-pressed.png"));
    }
}
