#pragma once

#include <QFont>
#include <QString>

// A dialog font given by family, pixel height and weight (400 normal, 700 bold). When the
// family is not installed the base font's family is kept, with the height and weight given,
// so the text keeps its intended size.
QFont NamedFont(const QString& family, int pixelHeight, int weight, QFont base = QFont());

// The base font with the family given when it is installed.
QFont FamilyIfInstalled(const QString& family, int pointSize, QFont base = QFont());
