#pragma once
// The recipes an operator may pick by scanning a variant's barcode: every
// *.toml file in one folder (the folder of the recipe the station started
// with), so nobody browses files at the line. Pure apart from reading files.

#include <string>
#include <vector>

#include "station/config/recipe.h"

// The *.toml files in `folder`, sorted by name.
std::vector<std::string> RecipeFiles(const std::string& folder);

// Loads the one recipe in `folder` whose variant is `variant` (blanks around
// the scanned text ignored). False with a Chinese message in `error` when no
// recipe has that variant (files that do not load are named) or several do;
// `recipe` is then unchanged.
bool FindRecipeByVariant(const std::string& folder, const std::string& variant, Recipe& recipe,
                         std::string& error);
