#pragma once
// A spell that notes what it is asked to do.

#include <string>
#include <vector>

#include "client/arena/spell.h"

class NotingSpell : public CSpell {
public:
    explicit NotingSpell(std::vector<std::string>* log) : log_(log) {}
    int Detonate(int slot) override {
        log_->push_back("Detonate " + std::to_string(slot));
        return 0;
    }
    int ObjectCast(int slot, int source) override {
        log_->push_back("ObjectCast " + std::to_string(slot) + " " + std::to_string(source));
        return 0;
    }
    int AffectPlayer(LocalPlayer&, int source, int send) override {
        log_->push_back("AffectPlayer " + std::to_string(source) + " " + std::to_string(send));
        return 0;
    }

private:
    std::vector<std::string>* log_;
};
