#pragma once

class QCoreApplication;

// The Windows desktop the window is drawn for, on a host that lacks it.

// The Windows font families the window names ("Microsoft YaHei",
// "Consolas") are answered by installed fonts of close metrics, so that text
// sized for them fits its boxes. Call once, before the first widget exists.
void installFontSubstitutes();

// Qt's own texts (the standard buttons of message boxes, the context menus
// of edit fields) in Chinese, as a Chinese Windows shows them. Answers
// whether the translation was found.
bool installQtChineseTranslation(QCoreApplication& app);
