#pragma once
// The busy mouse pointer for the lifetime of an object:
//
//     CHourglass hourglass;
//     hourglass.SetValue(true);   // hourglass until the object goes away
//
// Writing True shows the hourglass, False the default pointer (the pointer
// before is not saved). Destroying the object always restores the default
// pointer, whatever Value holds.
class CHourglass {
public:
    CHourglass() = default;
    ~CHourglass();
    CHourglass(const CHourglass&) = delete;
    CHourglass& operator=(const CHourglass&) = delete;

    bool Value() const { return m_value; }
    void SetValue(bool value);

private:
    bool m_value = false;
};
