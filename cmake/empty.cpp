// Placeholder translation unit for libraries whose folder holds only headers.
