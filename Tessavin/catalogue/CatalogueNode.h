#pragma once

#include <vector>

class CChannel;
class CGroup;

// A node of the catalogue tree: a group (with children in the order the tree shows them)
// or a channel. Records point back to their node through their treeItem.
struct CatalogueNode {
    CGroup* group = nullptr;
    CChannel* channel = nullptr;
    CatalogueNode* parent = nullptr; // null for a top-level node
    std::vector<CatalogueNode*> children;
};
