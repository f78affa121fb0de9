#include "protocol/CommandFields.h"

#include <locale>

CommandFields::CommandFields(const char* line) : m_in(line) {
    m_in.imbue(std::locale::classic());
}

bool CommandFields::ReadCode(int& code) {
    code = 0;
    if (m_in >> code) return true;
    code = 0;
    return false;
}

template <typename T>
T CommandFields::Field() {
    char delimiter = 0;
    T value{};
    if (!(m_in >> delimiter)) return T{};
    if (!(m_in >> value)) return T{};  // an overflowing number counts as unreadable too
    return value;
}

int CommandFields::Int() {
    return Field<int>();
}
float CommandFields::Float() {
    return Field<float>();
}
std::string CommandFields::Word() {
    return Field<std::string>();
}
