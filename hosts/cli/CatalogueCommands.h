#pragma once

#include <string>
#include <vector>

struct CatalogueNode;
class CChannel;
class CGroup;
class Session;

// The commands that show and change the catalogue's tree: list, add-group, add-channel,
// rename, set, move, delete and delete-articles. Each returns the exit code and throws
// UsageError for arguments that do not fit.
class CatalogueCommands {
public:
    using Args = std::vector<std::string>;

    static int List(Session& session, const Args& args);
    static int AddGroup(Session& session, const Args& args);
    static int AddChannel(Session& session, const Args& args);
    static int Rename(Session& session, const Args& args);
    static int Set(Session& session, const Args& args);
    static int Move(Session& session, const Args& args);
    static int Delete(Session& session, const Args& args);
    static int DeleteArticles(Session& session, const Args& args);

private:
    static void PrintTree(Session& session, const std::vector<CatalogueNode*>& nodes, int depth);
    static CatalogueNode* NodeOf(CGroup* group, CChannel* channel);
    // Why a delete stopped, and what stayed.
    static int RefuseDelete(Session& session, CGroup* group);
};
