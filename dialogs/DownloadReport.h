#pragma once
#include "device/DownloadResult.h"

#include <QString>

// Words for what the download job reports: the text-table messages the
// dialog shows and, below them, why recordings stayed on the recorder.

// The reason a download that did not bring everything home gives the user; empty when all is home.
QString DownloadProblemText(const device::DownloadResult& result);

// Why the recorder was not erased after a complete download.
QString EraseRefusalText(device::EraseRefusal refusal);

// The caption of one record-list row.
QString DownloadRowText(const device::DownloadRow& row);
