/* Bounds with floor and ceiling of a quotient (written with a floating
   divisor so that C rounds the exact quotient, as the model does). */
int N = 20;
double a[21], b[41];

int main(void)
{
  int i;
#pragma resource [1][2]
  for (i = 0; i <= floor(N / 2.0); i++) {
#pragma latency [2][1]
    a[i] = b[2 * i];
  }
  for (i = ceil(N / 3.0); i < N; i++) {
#pragma latency [2][1]
    b[i] = a[i - 1] + 1;
  }
  return 0;
}
