#pragma once

class QWidget;

namespace lrf {

// What a screen reader is shown of the windows. The plain panels (QWidget,
// QFrame) and the group boxes list only the children a person can see: a
// hidden child, or one marked with HideFromAccessibility (a part of a
// readout drawn for the eye), is left out of the accessible tree.
void InstallAccessibility();

// Leaves `widget` out of the tree its panel shows; its own children with it.
void HideFromAccessibility(QWidget& widget);

} // namespace lrf
