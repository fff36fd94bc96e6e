#pragma once

// The library's indexed list: singly linked, with a cursor at the last node reached so that
// walking by increasing index costs constant time per step.
template <class T>
class List {
public:
    List() = default;
    List(const List& other) {
        for (Node* n = other.head; n; n = n->next)
            Append(n->value);
    }
    List& operator=(const List& other) {
        if (this != &other) {
            Clear();
            for (Node* n = other.head; n; n = n->next)
                Append(n->value);
        }
        return *this;
    }
    ~List() { Clear(); }

    int Count() const { return count; }

    // Checked access; throws "Invalid list index".
    T& At(int i) {
        if (i < 0 || i >= count)
            throw "Invalid list index";
        if (cursorIndex >= 0 && i == cursorIndex + 1) {
            cursor = cursor->next;
            cursorIndex = i;
            return cursor->value;
        }
        if (i == cursorIndex)
            return cursor->value;
        Node* n = head;
        for (int k = 0; k < i; ++k)
            n = n->next;
        cursor = n;
        cursorIndex = i;
        return n->value;
    }

    // Like At inside the list; beyond it, appends default elements up to index i. A negative
    // index gives a dummy element.
    T& Grow(int i) {
        if (i < 0) {
            static T dummy;
            dummy = T();
            return dummy;
        }
        if (i < count)
            return At(i);
        Node* last = (cursor && cursorIndex == count - 1) ? cursor : head;
        while (last && last->next)
            last = last->next;
        while (count <= i) {
            Node* n = new Node();
            if (last)
                last->next = n;
            else
                head = n;
            last = n;
            ++count;
        }
        cursor = last;
        cursorIndex = i;
        return last->value;
    }

    void Append(const T& value) { Grow(count) = value; }

    void Clear() {
        while (head) {
            Node* next = head->next;
            delete head;
            head = next;
        }
        count = 0;
        cursor = nullptr;
        cursorIndex = -2;
    }

private:
    struct Node {
        T value{};
        Node* next = nullptr;
    };

    int count = 0;
    Node* head = nullptr;
    Node* cursor = nullptr;
    int cursorIndex = -2;
};
