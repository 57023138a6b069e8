#pragma once

#include "amounts.h"
#include <QList>
#include <QString>
#include <utility>

namespace lanting::stored_value
{

// A band of paid amounts with its bonus: lower bound in shangxian, upper
// bound in xiaxian, both inclusive. Bands are kept as entered.
struct Band {
    Amount shangxian = 0, xiaxian = 0, je = 0;
};

QList<Band> bands();                             // in the order entered
QList<std::pair<QString, Amount>> levelRatios(); // level name, bonus ratio
// Whether the rules screen shows ratio mode: any stored mode but "0".
bool ratioModeShown();

// Replaces every band (in list order), stores each level's ratio and the
// bonus mode, all in one step.
void saveRechargeRules(const QList<Band> &bands, const QList<std::pair<QString, Amount>> &ratios,
                       bool byRatio);

} // namespace lanting::stored_value
