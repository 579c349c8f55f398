# render_moon: draws the icon's and the dialog picture's globes and starfield
# from the equirectangular maps. A build tool only.
add_executable(render_moon "${CMAKE_CURRENT_LIST_DIR}/render_moon.cpp")
tavrin_warnings(render_moon)
