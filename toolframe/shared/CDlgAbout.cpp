#include "CDlgAbout.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
#ifndef TOOLKIT_PLUGIN_EDITION
const char *const kLogo = ":/images/title/TBXEye.png";
const char *const kVersionLabel = "pLabelAboutTBX";
const char *const kBuild = "01C20150804036";
#else
const char *const kLogo = ":/images/title/ZELTEye.png";
const char *const kVersionLabel = "pLabelAbout";
const char *const kBuild = "20150701_089";
#endif
} // namespace

CDlgAbout::CDlgAbout(QWidget *parent)
#ifndef TOOLKIT_PLUGIN_EDITION
    : CBaseDialog(parent, false, false, false, false, true)
#else
    : CBaseDialog(parent, true, false, false)
#endif
{
    setFixedSize(520, 200);
    SetCloseBtnVisible(true);
    SetTitleText(tr("About"));

    auto *content = new QWidget(this);
    content->setObjectName(QStringLiteral("CDlgAboutClass"));
    content->setWindowTitle(tr("About"));

    auto *gridLayout_3 = new QGridLayout(content);
    gridLayout_3->setObjectName(QStringLiteral("gridLayout_3"));
    gridLayout_3->addItem(new QSpacerItem(20, 85, QSizePolicy::Minimum, QSizePolicy::Expanding), 0, 0);
    auto *gridLayout_2 = new QGridLayout;
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    gridLayout_3->addLayout(gridLayout_2, 1, 0);
    gridLayout_3->addItem(new QSpacerItem(20, 85, QSizePolicy::Minimum, QSizePolicy::Expanding), 2, 0);

    auto *label_3 = new QLabel(content);
    label_3->setObjectName(QStringLiteral("label_3"));
    label_3->setPixmap(QPixmap(QLatin1String(kLogo)));
    gridLayout_2->addWidget(label_3, 0, 0);

    auto *gridLayout = new QGridLayout;
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout_2->addLayout(gridLayout, 0, 1);
    gridLayout_2->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 2);
    auto *verticalLayout_2 = new QVBoxLayout;
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    gridLayout_2->addLayout(verticalLayout_2, 0, 3);

    auto *horizontalLayout_2 = new QHBoxLayout;
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    auto *label = new QLabel(tr("Name:"), content);
    label->setObjectName(QStringLiteral("label"));
#ifndef TOOLKIT_PLUGIN_EDITION
    m_pNameLabel = new QLabel(tr("TBX"), content);
#else
    m_pNameLabel = new QLabel(tr("Zeltscan Software"), content);
#endif
    m_pNameLabel->setObjectName(QStringLiteral("label_4"));
    m_pNameLabel->setMinimumWidth(250);
    horizontalLayout_2->addWidget(label);
    horizontalLayout_2->addWidget(m_pNameLabel);
    gridLayout->addLayout(horizontalLayout_2, 0, 0);

    auto *horizontalLayout = new QHBoxLayout;
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    auto *label_2 = new QLabel(tr("Version:"), content);
    label_2->setObjectName(QStringLiteral("label_2"));
    m_pVersionLabel = new QLabel(content);
    m_pVersionLabel->setObjectName(QLatin1String(kVersionLabel));
    m_pVersionLabel->setMinimumWidth(250);
    horizontalLayout->addWidget(label_2);
    horizontalLayout->addWidget(m_pVersionLabel);
    gridLayout->addLayout(horizontalLayout, 1, 0);

    verticalLayout_2->addItem(new QSpacerItem(20, 13, QSizePolicy::Minimum, QSizePolicy::Expanding));
    m_pOkBtn = new QPushButton(tr("OK"), content);
    m_pOkBtn->setObjectName(QStringLiteral("m_pOkBtn"));
    m_pOkBtn->setMinimumSize(80, 24);
    verticalLayout_2->addWidget(m_pOkBtn);

#ifndef TOOLKIT_PLUGIN_EDITION
    m_pVersionLabel->setText(tr(" v1.1.0.2") + tr(" Build") + QLatin1String(kBuild));
#else
    m_pVersionLabel->setText(tr(" v2.00.00.01") + tr(" Build") + QLatin1String(kBuild));
#endif
    connect(m_pOkBtn, &QPushButton::clicked, this, &QDialog::accept);
    SetContentWidget(content);
}
