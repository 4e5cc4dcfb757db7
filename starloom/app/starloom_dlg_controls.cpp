// The controls of Starloom's dialog, their initial values and their connections.

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>

#include "starloom/app/frame_view_control.h"
#include "starloom/app/starloom_dlg.h"
#include "starloom/app/starloom_texts.h"
#include "starloom/model/seeing_motion.h"
#include "vt5api/ui/ui_text.h"

namespace {

constexpr int kNumberWidth = 64;

template <class W>
W* Named(W* widget, const char* objectName) {
    widget->setObjectName(QLatin1String(objectName));
    return widget;
}

QLineEdit* Edit(const char* objectName, const char* text, bool digitsOnly = false) {
    auto* edit = Named(new QLineEdit(QString::fromLatin1(text)), objectName);
    edit->setFixedWidth(kNumberWidth);
    // A number edit of the original takes digits only.
    if (digitsOnly)
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

QPushButton* Button(const QString& text, const char* objectName) {
    auto* button = Named(new QPushButton(text), objectName);
    button->setAutoDefault(false);
    return button;
}

// A control of the dialog's template that stays hidden and disabled.
template <class W>
W* Unused(W* widget, QWidget* dialog) {
    widget->setParent(dialog);
    widget->hide();
    widget->setEnabled(false);
    return widget;
}

}  // namespace

void CStarloomw32Dlg::buildControls() {
    using starloom::FrameViewControl;
    view_ = Named(new FrameViewControl, "view");

    auto* options = Button(tr("Conn. options"), "buttonOptions");
    start_ = Button(UiText(kStart), "buttonStart");
    start_->setMinimumWidth(110);
    status_ = Named(new QLabel, "labelStatus");
    viewBrightness_ = Named(new QComboBox, "comboView");
    viewBrightness_->addItems({tr("1x  (full dynamics 12-bits)"), tr("2x"), tr("4x"),
                               tr("8x  (9 lowest bits)"), tr("Auto stretch")});
    viewBrightness_->setItemData(FrameViewControl::kAutoStretch,
                                 tr("From the sky level to the brightest stars of the frame"),
                                 Qt::ToolTipRole);
    viewBrightness_->setCurrentIndex(3);
    auto* viewLabel = new QLabel(tr("View"));
    viewLabel->setBuddy(viewBrightness_);
    auto* zoomFit = Button(tr("Fit"), "buttonZoomFit");
    zoomFit->setToolTip(tr("The whole frame in the view"));
    auto* zoomActual = Button(tr("1:1"), "buttonZoomActual");
    zoomActual->setToolTip(tr("One screen pixel per sensor pixel, about the guide star"));
    screenshotButton_ = Button(tr("Take Screenshot of the HC"), "buttonScreenshot");
    screenshotButton_->setEnabled(false);

    // Sky field.
    seed_ = Edit("editSeed", "2", true);
    auto* applyField = Button(tr("Apply star field"), "buttonApplyStarField");
    auto* sky = new QGroupBox(tr("Sky field"));
    auto* skyGrid = new QGridLayout(sky);
    skyGrid->addWidget(new QLabel(tr("Random seed")), 0, 0);
    skyGrid->addWidget(seed_, 0, 1);
    skyGrid->addWidget(applyField, 0, 2);
    // Seeing: taken as soon as it is entered.
    seeing_ = Edit("editSeeing", "2");
    auto* seeingNumbers = new QDoubleValidator(0.0, starloom::kMaxSeeingFwhm, 2, seeing_);
    seeingNumbers->setLocale(QLocale::c());  // read with "%f"
    seeing_->setValidator(seeingNumbers);
    seeing_->setToolTip(
        tr("Star size that the atmosphere makes, as FWHM in arcseconds; "
           "0 switches seeing off"));
    skyGrid->addWidget(new QLabel(tr("Seeing")), 1, 0);
    skyGrid->addWidget(seeing_, 1, 1);
    skyGrid->addWidget(new QLabel(tr("″ FWHM")), 1, 2);
    skyGrid->setColumnStretch(3, 1);

    // Mount.
    agSpeed_ = Named(new QComboBox, "comboAgSpeed");
    agSpeed_->addItems({tr("1x"), tr("0.5x"), tr("0.25x"), tr("0.125x")});
    agSpeed_->setCurrentIndex(1);
    focalLength_ = Edit("editFocalLength", "176", true);
    southern_ = Named(new QCheckBox(tr("Southern")), "checkSouthern");
    poleAltitude_ = Edit("editPoleAltitude", "45");
    errorAlt_ = Edit("editErrorAlt", "0");
    errorAzi_ = Edit("editErrorAzi", "0");
    auto* applyMount = Button(tr("Apply"), "buttonApply");
    raTime_ = Edit("editRaTime", "0");
    auto* applyTimeButton = Button(tr("Apply time"), "buttonApplyTime");
    auto* east = Button(tr("East"), "buttonEast");
    auto* meridian = Button(tr("Meridian"), "buttonMeridian");
    auto* west = Button(tr("West"), "buttonWest");
    backlash_ = Named(new QCheckBox(tr("DEC backlash")), "checkBacklash");
    backlashTime_ = Edit("editBacklashTime", "0.0");
    backlashPosition_ = Named(new QSlider(Qt::Horizontal), "sliderBacklash");
    backlashPosition_->setRange(0, 1000);
    // It shows the drive's position in its play; there is nothing to set with it.
    backlashPosition_->setAttribute(Qt::WA_TransparentForMouseEvents);
    backlashPosition_->setFocusPolicy(Qt::NoFocus);

    auto* mount = new QGroupBox(tr("Mount"));
    auto* m = new QGridLayout(mount);
    int row = 0;
    m->addWidget(new QLabel(tr("AG speed")), row, 0);
    m->addWidget(agSpeed_, row, 1, 1, 2);
    ++row;
    m->addWidget(new QLabel(tr("Focal length")), row, 0);
    m->addWidget(focalLength_, row, 1);
    m->addWidget(new QLabel(tr("mm")), row, 2);
    m->addWidget(southern_, row, 3);
    ++row;
    m->addWidget(new QLabel(tr("Pole Altitude")), row, 0);
    m->addWidget(poleAltitude_, row, 1);
    m->addWidget(new QLabel(QStringLiteral("°")), row, 2);
    ++row;
    m->addWidget(new QLabel(tr("Error Alt.")), row, 0);
    m->addWidget(errorAlt_, row, 1);
    m->addWidget(new QLabel(QStringLiteral("″")), row, 2);
    ++row;
    m->addWidget(new QLabel(tr("Error Azi.")), row, 0);
    m->addWidget(errorAzi_, row, 1);
    m->addWidget(new QLabel(QStringLiteral("″")), row, 2);
    m->addWidget(applyMount, row, 3);
    ++row;
    m->addWidget(new QLabel(tr("RA time")), row, 0);
    m->addWidget(raTime_, row, 1);
    m->addWidget(new QLabel(tr("h from Mer.")), row, 2);
    m->addWidget(applyTimeButton, row, 3);
    ++row;
    auto* sides = new QHBoxLayout;
    sides->addWidget(east);
    sides->addWidget(meridian);
    sides->addWidget(west);
    m->addLayout(sides, row, 0, 1, 4);
    ++row;
    m->addWidget(backlash_, row, 0, 1, 2);
    ++row;
    m->addWidget(new QLabel(tr("Time")), row, 0);
    m->addWidget(backlashTime_, row, 1);
    m->addWidget(new QLabel(tr("sec")), row, 2);
    m->addWidget(new QLabel(tr("(Applied by the enable checkbox.)")), row, 3);
    ++row;
    m->addWidget(new QLabel(tr("Position:")), row, 0);
    m->addWidget(backlashPosition_, row, 1, 1, 3);

    // AG signal: the four arrows as a cross.
    override_ = Named(new QCheckBox(tr("Override")), "checkOverride");
    const char* arrowNames[4] = {"buttonLeft", "buttonRight", "buttonUp", "buttonDown"};
    const QString arrowTexts[4] = {QStringLiteral("◀"), QStringLiteral("▶"), QStringLiteral("▲"),
                                   QStringLiteral("▼")};
    for (int i = 0; i < 4; ++i) {
        arrows_[i] = Button(arrowTexts[i], arrowNames[i]);
        arrows_[i]->setFixedSize(36, 30);
    }
    auto* signal = new QGroupBox(tr("AG signal"));
    auto* s = new QGridLayout(signal);
    s->addWidget(override_, 0, 0, 1, 3);
    s->addWidget(arrows_[2], 1, 1);
    s->addWidget(arrows_[0], 2, 0);
    s->addWidget(arrows_[1], 2, 2);
    s->addWidget(arrows_[3], 3, 1);
    s->setColumnStretch(3, 1);

    // The template's log area and test buttons, never shown.
    log_ = Unused(Named(new QPlainTextEdit, "editLog"), this);
    log_->setReadOnly(true);
    auto* clearLog = Unused(Button(tr("x"), "buttonClearLog"), this);
    auto* resetLog = Unused(Button(tr("Reset LOG"), "buttonResetLog"), this);
    Unused(Button(tr("debug break"), "buttonDebugBreak"), this);
    Unused(Button(tr("Test pol.misalign"), "buttonTestPolMisalign"), this);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(start_);
    bottom->addWidget(status_, 1);
    bottom->addWidget(zoomFit);
    bottom->addWidget(zoomActual);
    bottom->addWidget(viewLabel);
    bottom->addWidget(viewBrightness_);
    auto* left = new QVBoxLayout;
    left->addWidget(view_, 1);
    left->addLayout(bottom);

    auto* tools = new QHBoxLayout;
    tools->addWidget(options);
    tools->addWidget(screenshotButton_);
    auto* right = new QVBoxLayout;
    right->addWidget(sky);
    right->addWidget(mount);
    right->addWidget(signal);
    right->addStretch(1);
    right->addLayout(tools);

    auto* top = new QHBoxLayout(this);
    // The view takes what the window gains.
    top->addLayout(left, 1);
    top->addLayout(right);

    connect(start_, &QPushButton::clicked, this, &CStarloomw32Dlg::startOrStop);
    connect(&timer_, &QTimer::timeout, this, &CStarloomw32Dlg::emulationStep);
    connect(applyField, &QPushButton::clicked, this, &CStarloomw32Dlg::applyStarField);
    connect(applyMount, &QPushButton::clicked, this, &CStarloomw32Dlg::apply);
    connect(applyTimeButton, &QPushButton::clicked, this, &CStarloomw32Dlg::applyTime);
    connect(east, &QPushButton::clicked, this, [this] { placeRaTime("-6"); });
    connect(meridian, &QPushButton::clicked, this, [this] { placeRaTime("0"); });
    connect(west, &QPushButton::clicked, this, [this] { placeRaTime("6"); });
    connect(backlash_, &QCheckBox::clicked, this, &CStarloomw32Dlg::applyBacklash);
    connect(override_, &QCheckBox::clicked, this, &CStarloomw32Dlg::overrideChanged);
    connect(viewBrightness_, &QComboBox::currentIndexChanged, this, &CStarloomw32Dlg::redrawView);
    connect(zoomFit, &QPushButton::clicked, this, &CStarloomw32Dlg::zoomToFit);
    connect(zoomActual, &QPushButton::clicked, this, &CStarloomw32Dlg::zoomToActualSize);
    connect(seeing_, &QLineEdit::editingFinished, this, &CStarloomw32Dlg::applySeeing);
    connect(screenshotButton_, &QPushButton::clicked, this, &CStarloomw32Dlg::takeScreenshot);
    connect(options, &QPushButton::clicked, this, &CStarloomw32Dlg::editConnectionOptions);
    connect(clearLog, &QPushButton::clicked, log_, &QPlainTextEdit::clear);
    connect(resetLog, &QPushButton::clicked, log_, &QPlainTextEdit::clear);
}
