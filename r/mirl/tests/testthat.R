library(testthat)
library(mirl)

test_check("mirl")
