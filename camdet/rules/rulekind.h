// The detection kinds as the rule tables name them: the same integers as the
// recorder's DET_TYPE_* values (the vendor units check that they agree).
#ifndef CAMDET_RULES_RULEKIND_H
#define CAMDET_RULES_RULEKIND_H

enum RULE_KIND {
    RULE_KIND_MD = 1,  // motion
    RULE_KIND_DI = 2,  // digital input, tested per port
    RULE_KIND_TD = 3,  // tampering
    RULE_KIND_AD = 4,  // audio
};

#endif  // CAMDET_RULES_RULEKIND_H
