#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The records of one run's scan report. Plain values: copies are cheap because
// Qt's strings and containers are implicitly shared.

struct StartupFinding
{
    QString name;
    QString command;
    QString location;
    int type = 0;       // location number 1..13 (8 unused); part of the phase-2 item id
    int score = 0;      // trust score 0..100
    int riskLevel = 0;  // 0 safe, 1 suspicious, 2 high risk
    bool hijacked = false;
    bool canDisable = false;
    QString riskLabel;
    bool disabled = false;  // switched off where Windows reads it: it will not start
};

struct JunkwareFinding
{
    QString id;
    QString name;
    QString nameCn;
    QString category;
    QString riskLevel;
    QString dimension;
    QString description;
    QStringList evidence;
};

struct BrowserFinding
{
    QString browser;
    QString item;
    QString currentValue;
    QString normalValue;
    bool abnormal = false;
    QString detail;
};

struct PopupFinding
{
    QString processName;
    QString windowTitle;
    int pid = 0;
    bool signatureValid = false;
    bool suspicious = false;
    QString reason;
};

struct ConflictFinding
{
    QString category;  // "antivirus", "overlap" or "pup"
    QString title;
    QString detail;
    QString advice;
};

struct StorageDecision
{
    bool fastStartupRecommended = false;
    bool keepHibernation = false;
    bool hibernationDisabledNow = false;
    QString fastStartupReason;
    QString hibernationReason;
    QString pagefileAdvice;
    QString restoreAdvice;
    int hibernationFreedMB = 0;
};

struct ScanReportBundle
{
    QVector<StartupFinding> startupItems;
    QVector<JunkwareFinding> junkware;
    QVector<BrowserFinding> browserHijacks;
    QVector<PopupFinding> popups;
    QVector<ConflictFinding> conflicts;
    StorageDecision storage;
    int uninstallResidueCount = 0;
};
