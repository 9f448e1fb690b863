#pragma once
// The recipes an operator may pick by scanning a variant's barcode: every
// *.toml file in one folder (the folder of the recipe the station started
// with), so nobody browses files at the line. Pure apart from reading files.

#include <functional>
#include <string>
#include <vector>

#include "station/config/recipe.h"

// The *.toml files in `folder`, sorted by name.
std::vector<std::string> RecipeFiles(const std::string& folder);
// The regular files in `folder` whose names end in `extension` (".toml"),
// sorted by name.
std::vector<std::string> FolderFiles(const std::string& folder, const std::string& extension);

// How a file of the folder read: a candidate with its variant, broken (the
// reason in the reader's `error`), or no recipe at all (left out unnamed).
enum class CatalogRead { Candidate, Broken, NotARecipe };
using CatalogReader =
    std::function<CatalogRead(const std::string& file, std::string& variant, std::string& error)>;

// Reads the recipe file `file` for a catalog: a slots file standing beside
// the recipes is NotARecipe, broken or not.
CatalogRead ReadCatalogRecipe(const std::string& file, Recipe& recipe, std::string& error);

// The one file among `files` whose variant is the scanned `variant` (blanks
// around it ignored), read by `read`. False with a Chinese message in `error`
// when none is (the broken files are named) or several are.
bool PickFileByVariant(const std::string& folder, const std::vector<std::string>& files,
                       const std::string& variant, const CatalogReader& read, std::string& picked,
                       std::string& error);

// Loads the one recipe in `folder` whose variant is `variant` (blanks around
// the scanned text ignored). False with a Chinese message in `error` when no
// recipe has that variant (files that do not load are named) or several do;
// `recipe` is then unchanged.
bool FindRecipeByVariant(const std::string& folder, const std::string& variant, Recipe& recipe,
                         std::string& error);
