// Built only by the layering test, with the settings of a logic library.
// It must fail to compile: logic code has no access to Qt.
#include <QString>

int layerProbe() { return QString("x").size(); }
