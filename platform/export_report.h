// What the plug-in shares with whoever drives its panel and reads the host's
// log: the size of the panel's text fields, and how an export's outcome is
// reported, so that a driver learns it without looking inside the plug-in.
//
// Each file the plug-in has written completely is one SYSLOG_INFO entry titled
// kReportTitle whose text is one of the prefixes below followed by the path as
// the plug-in named it. When an export or an import stops, or a stage notes a
// problem the panel does not show, the first reason latched is one
// SYSLOG_ERROR entry whose title and text are the latched caption and text.
#pragma once

// Characters, with the terminating zero, that the panel's text fields hold.
constexpr int kPanelTextCapacity = 256;

constexpr char kReportTitle[] = "Quake II Export";

constexpr char kReportWroteModel[] = "wrote model ";
constexpr char kReportUpdatedModel[] = "updated model ";
constexpr char kReportWroteBmpSkin[] = "wrote BMP skin ";
constexpr char kReportWrotePcxSkin[] = "wrote PCX skin ";
constexpr char kReportWroteListing[] = "wrote listing ";
