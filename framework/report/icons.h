#pragma once

#include <QIcon>

namespace rpt {

enum class PreviewIcon { ZoomFit, Zoom100, ZoomWidth, FirstPage, PriorPage, NextPage, LastPage, GoToPage, PrinterSetup, Print, Save, Load };

// The preview's tool-bar pictures, drawn here rather than shipped as files.
QIcon previewIcon(PreviewIcon which);

} // namespace rpt
